#!/usr/bin/env bash
# Builds the seed generator and writes the seed corpora: fuzz/make-seeds.sh <fuzz build folder> <output folder>
set -euo pipefail
build=${1:?fuzz build folder}
out=${2:?output folder}
cmake --build "$build" -j2 --target make_fuzz_seeds
QT_QPA_PLATFORM=offscreen "$build/fuzz/make_fuzz_seeds" "$out"
