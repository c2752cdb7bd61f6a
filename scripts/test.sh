#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a plain build that treats warnings as
# errors, and one under AddressSanitizer and UndefinedBehaviorSanitizer with assertions kept. Exits non-zero
# when anything fails in either.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# LeakSanitizer needs to stop the process it checks; where the system forbids that (some containers), it
# would fail every test, so leaks are checked only where a probe shows it works.
leaks=1
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
printf 'int main() { return 0; }\n' >"$probe_dir/probe.c"
if cc -fsanitize=address "$probe_dir/probe.c" -o "$probe_dir/probe" 2>/dev/null; then
    if ! ASAN_OPTIONS=detect_leaks=1 "$probe_dir/probe" >/dev/null 2>&1; then
        leaks=0
        echo "LeakSanitizer does not work here: leak checks are off"
    fi
fi

status=0
run_suite() {
    local build=$1
    shift
    echo "== Building $build"
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    if ! cmake --build "$build" -j "$jobs"; then
        echo "== $build: build failed"
        status=1
        return
    fi
    echo "== Testing $build"
    if ! (cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 900); then
        echo "== $build: tests failed"
        status=1
    fi
}

run_suite build -DVORALIN_WERROR=ON
(
    # Libraries outside the program (fontconfig, the GL and D-Bus plugins) keep allocations for the life of
    # the process on purpose; the suppressions name only those.
    export ASAN_OPTIONS="detect_leaks=$leaks:abort_on_error=0:strict_string_checks=0:detect_stack_use_after_return=0"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    run_suite build-sanitize -DVORALIN_SANITIZE=ON -DVORALIN_ASSERTS=ON
    exit $status
) || status=1

exit $status
