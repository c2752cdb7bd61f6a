#!/usr/bin/env bash
# A whole search over a generated library (100 000 small JPEGs by default) through voralin-cli: time and peak
# memory of the first search and of a second one over the unchanged folders, with the signature cache, and of
# one with the signatures cached but no partner memo (scan and matching only), each against the floor:
# libjpeg-turbo's own 1/8 fast-DCT decode of a sample of the same files, in-process and as djpeg.
#
#   bash bench/run_library.sh [BUILD_DIR] [SET_DIR]      COUNT=N for another library size
#   EQUAL_HEADS=1 bash bench/run_library.sh ...          files of one size from one encoder, equal first 256
#                                                        bytes; adds a search without the cache
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
count="${COUNT:-100000}"
kind=library
prepare=prepare
extra=()
if [ -n "${EQUAL_HEADS:-}" ]; then
  kind=equal
  prepare=prepare-equal
  extra=(--no-cache)
fi
set_dir="${2:-${TMPDIR:-/tmp}/voralin-bench-$kind-$count}"

if ! dpkg -s libjpeg-turbo-progs >/dev/null 2>&1; then
  echo "installing libjpeg-turbo-progs (djpeg, the floor, for the benchmark only)"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get install -y --no-install-recommends libjpeg-turbo-progs
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target bench_library voralin-cli

if [ ! -f "$set_dir/.complete" ]; then
  QT_QPA_PLATFORM=offscreen "$build/bench/bench_library" "$prepare" "$set_dir" "$count"
  touch "$set_dir/.complete"
fi
"$build/bench/bench_library" run "$set_dir" "$build/cli/voralin-cli" ${THREADS:+--threads "$THREADS"} "${extra[@]}"
