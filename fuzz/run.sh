#!/usr/bin/env bash
# Builds the fuzz targets with clang, makes the seed corpora and runs each target for a given time.
#   fuzz/run.sh [seconds per target (600)] [targets...]
# Corpora grow in fuzz/corpus/<target> (seeds included); crashes land in fuzz/artifacts/<target>/.
# Two targets run at a time (VORALIN_FUZZ_JOBS sets how many); the limits make a memory blow-up or a hang
# count as a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(fuzz_picture fuzz_jpg fuzz_png fuzz_gif fuzz_bmp fuzz_tif fuzz_cr2 fuzz_webp fuzz_heic fuzz_avif
             fuzz_jxl fuzz_nef fuzz_cache fuzz_memo fuzz_journal fuzz_pairs fuzz_window fuzz_settings
             fuzz_update_reply)
build=${VORALIN_FUZZ_BUILD:-build-fuzz}
work=${VORALIN_FUZZ_WORK:-fuzz/work}
jobs=${VORALIN_FUZZ_JOBS:-2}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORALIN_FUZZ=ON \
    -DVORALIN_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" make_fuzz_seeds
mkdir -p "$work/seeds"
QT_QPA_PLATFORM=offscreen "$build/fuzz/make_fuzz_seeds" "$work/seeds"
fuzz/make-type-seeds.sh "$work/seeds"

export QT_QPA_PLATFORM=offscreen
# LibRaw and Qt's plugins keep caches for the life of the process; leaks are real only in our code paths.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
    local target=$1 seeds
    seeds=${target#fuzz_}
    mkdir -p "$work/corpus/$target" "$work/artifacts/$target"
    "$build/fuzz/$target" "$work/corpus/$target" "$work/seeds/$seeds" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len=65536 \
        -artifact_prefix="$work/artifacts/$target/" -print_final_stats=1 >"$work/$target.log" 2>&1
}

# A target that stops early on a finding frees its slot at once for the next one.
status=0
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    run_one "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
for target in "${targets[@]}"; do
    echo "== $target: $(grep -E 'stat::number_of_executed_units' "$work/$target.log" || echo 'no stats')"
    ls "$work/artifacts/$target" 2>/dev/null | sed 's/^/   artifact: /'
done
exit $status
