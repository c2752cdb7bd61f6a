#!/usr/bin/env bash
# Per-picture CPU of the newer picture types against each library's own decoder, on photographs from a
# Debian wallpaper package resized to 12 MP and encoded with the formats' own tools.
#
#   bash bench/run_formats.sh [BUILD_DIR] [SET_DIR]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
set_dir="${2:-${TMPDIR:-/tmp}/voralin-bench-formats}"
photos=/usr/share/backgrounds
package=ukui-wallpapers   # photographs of 3640 x 2400 and more

if ! dpkg -s "$package" >/dev/null 2>&1; then
  echo "installing $package (pictures for the benchmark only)"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get install -y --no-install-recommends "$package"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target bench_formats

if [ ! -f "$set_dir/.complete" ]; then
  rm -rf "$set_dir"
  "$build/bench/bench_formats" prepare "$set_dir" "$photos"
  touch "$set_dir/.complete"
fi
echo "cores: $(nproc), load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/bench_formats" run "$set_dir" --repeat "${REPEAT:-3}"
