#!/usr/bin/env bash
# Every benchmark in one run, each section printing its figures with the machine's core count. A section
# can also be run alone through its own script.
#
#   bash bench/run.sh [BUILD_DIR]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
echo "Voralin benchmarks on $(nproc) cores"

# Decoding, signatures and the signature cache.
if [ -f "$here/bench/run_decode.sh" ]; then
  echo "== decoding and cache"
  bash "$here/bench/run_decode.sh" "$build"
fi

# Real photographs of mixed sizes against libjpeg-turbo's own decode.
echo "== mixed photographs"
bash "$here/bench/run_photos.sh" "$build"

# The newer picture types against their libraries' own decoders.
echo "== picture types"
bash "$here/bench/run_formats.sh" "$build"

# A whole search over a generated library of 100 000 files.
echo "== library search"
bash "$here/bench/run_library.sh" "$build"

# Libraries whose files all begin alike: 20 000 and 100 000 pictures of one size from one encoder.
for count in 20000 100000; do
  echo "== equal-head library of $count"
  EQUAL_HEADS=1 COUNT=$count bash "$here/bench/run_library.sh" "$build"
done

# Matching and memory.
echo "== matching and memory"
bash "$here/bench/run_match.sh" "$build"
