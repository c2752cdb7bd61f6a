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

# A whole search over a generated library of 100 000 files.
echo "== library search"
bash "$here/bench/run_library.sh" "$build"

# Matching and memory.
echo "== matching and memory"
bash "$here/bench/run_match.sh" "$build"
