#!/usr/bin/env bash
# Real photographs of mixed sizes with resized, recompressed, progressive and greyscale copies, from Debian's
# wallpaper packages (installed here when missing): Voralin's CPU per picture on one thread against
# libjpeg-turbo's 1/8 fast-DCT decode of the same files, and voralin-cli on one and two threads.
#
#   bash bench/run_photos.sh [BUILD_DIR] [SET_DIR]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
set_dir="${2:-${TMPDIR:-/tmp}/voralin-bench-photos}"
packages=(ukui-wallpapers lomiri-wallpapers-20.04 mate-backgrounds gnome-backgrounds plasma-workspace-wallpapers)

missing=()
for package in "${packages[@]}" libjpeg-turbo-progs; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]} (pictures and djpeg for the benchmark only)"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target bench_photos voralin-cli

if [ ! -f "$set_dir/.complete" ]; then
  rm -rf "$set_dir"
  QT_QPA_PLATFORM=offscreen "$build/bench/bench_photos" prepare "$set_dir" /usr/share/backgrounds /usr/share/wallpapers
  touch "$set_dir/.complete"
fi
QT_QPA_PLATFORM=offscreen "$build/bench/bench_photos" run "$set_dir" "$build/cli/voralin-cli"
