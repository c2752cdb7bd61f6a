#!/usr/bin/env bash
# Decoding and cache benchmarks: decode + signature against djpeg, 1 vs 2 decoding threads, and a second
# search over unchanged folders with the signature cache. Builds its own picture set from the wallpapers
# of a Debian package (installed here when missing) plus variants and synthetic pictures.
#
#   bash bench/run_decode.sh [BUILD_DIR] [SET_DIR]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
set_dir="${2:-${TMPDIR:-/tmp}/voralin-bench-decode}"
photos=/usr/share/backgrounds
package=ukui-wallpapers   # twelve 3640 x 2400 to 3840 x 2400 pictures, photographs among them

if ! dpkg -s "$package" >/dev/null 2>&1; then
  echo "installing $package (pictures for the benchmark only)"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get install -y --no-install-recommends "$package"
fi
command -v djpeg >/dev/null || { echo "djpeg missing: install libjpeg-turbo-progs"; exit 1; }

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target bench_decode

if [ ! -f "$set_dir/.complete" ]; then
  rm -rf "$set_dir"
  QT_QPA_PLATFORM=offscreen "$build/bench/bench_decode" prepare "$set_dir" "$photos"
  touch "$set_dir/.complete"
fi
QT_QPA_PLATFORM=offscreen "$build/bench/bench_decode" run "$set_dir" --repeat "${REPEAT:-5}"
