#!/usr/bin/env bash
# Builds Kestrow and runs the whole test suite.
#   scripts/test.sh            ordinary build in build/
#   scripts/test.sh --asan     AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --tsan     ThreadSanitizer build in build-tsan/
#   --werror                   treat compiler warnings as errors (CI does)
#   --bench                    also build the benchmarks, so they keep compiling (CI does; they are not run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/scripts/build.sh" "$@" | tail -n 1)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
# ThreadSanitizer writes its findings to files that tsan-triage.py judges once the suite has run.
tsan_logs="$build/tsan-logs"
# Children a test forks exec another program at once; the sanitizer would otherwise kill them for starting threads.
export TSAN_OPTIONS="log_path=$tsan_logs/tsan:exitcode=0:die_after_fork=0:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:${LSAN_OPTIONS:-}"
cd "$build"
tsan=false
[[ "$build" == */build-tsan ]] && tsan=true && rm -rf "$tsan_logs" && mkdir -p "$tsan_logs"
ctest --output-on-failure -j 2
if $tsan; then
    shopt -s nullglob
    python3 "$root/scripts/tsan-triage.py" "$tsan_logs"/*
fi
