#!/usr/bin/env bash
# Matching and memory benchmarks: the fast candidate search against the plain reference matcher on
# realistic signatures (real wavelet signatures of rendered natural-looking scenes, their variants, a few
# planted near-duplicates and copies), the catalogue's bytes per picture and the peak memory of the run.
# With CALLGRIND=1 it also compares both matchers by instruction counts, which a busy machine cannot skew.
#
#   bash bench/run_match.sh [BUILD_DIR]
#   PICTURES=100000 SUBSET=4000 THREADS=0 REPEAT=1 CALLGRIND=0 bash bench/run_match.sh
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
pictures="${PICTURES:-100000}"
subset="${SUBSET:-4000}"
threads="${THREADS:-0}"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target bench_match

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "${REPEAT:-1}"); do
  echo "-- run $run"
  "$build/bench/bench_match" --pictures "$pictures" --subset "$subset" --threads "$threads"
done

if [ "${CALLGRIND:-0}" = 1 ]; then
  command -v valgrind >/dev/null || { echo "valgrind missing"; exit 1; }
  small="${CALLGRIND_PICTURES:-3000}"
  for mode in reference fast; do
    out="$(mktemp)"
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*FindPartnerReference*' --toggle-collect='*FastPartnerFinder::Find*' \
      "$build/bench/bench_match" --pictures "$small" --scenes 100 --threads 1 --mode "$mode" >/dev/null 2>&1
    ir=$(grep -m1 '^summary:' "$out" | awk '{print $2}')
    echo "callgrind, $small pictures, $mode matcher: $ir instructions"
    eval "ir_$mode=$ir"
    rm -f "$out"
  done
  awk -v r="$ir_reference" -v f="$ir_fast" -v s="$small" \
    'BEGIN { printf "instruction ratio reference / fast at %d pictures: %.0fx\n", s, r / f }'
fi
