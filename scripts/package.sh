#!/usr/bin/env bash
# Builds the Debian package: installs what is needed, makes a Release build with Debian's hardening flags
# in build-package/ and leaves build-package/voralin_VERSION_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $CPPFLAGS"
export LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORALIN_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-package -j "$(nproc)" --target voralin voralin-cli voralin_dist_files
(cd build-package && cpack -G DEB >/dev/null)
ls build-package/voralin_*.deb
