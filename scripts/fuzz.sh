#!/bin/sh
# Builds the fuzz harnesses of fuzz/ with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for SECONDS
# seconds, starting from its seed corpus in fuzz/corpus/NAME. New inputs
# the fuzzer keeps go to build-fuzz/corpus/NAME, inputs that crash or break
# an invariant to build-fuzz/artifacts/NAME. Set FUZZ_PARALLEL=N to run N
# harnesses at a time, FUZZERS="fuzz_surface ..." to run only some.
# FUZZ_RUNS=N with FUZZ_SEED=S makes a run repeatable: each harness tries N
# inputs from the fixed seed S (SECONDS still bounds it), as CI does, so a
# clean run there stays clean until the code changes.
# Ends with status 1 when a harness failed to build, start or finish its
# time, or kept an input that broke it (crash-, timeout-, oom- or leak-
# files; a slow-unit- file only notes an input that took over 10 s).
# Usage: sh scripts/fuzz.sh SECONDS
set -eu
seconds=${1:?usage: sh scripts/fuzz.sh SECONDS}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
parallel=${FUZZ_PARALLEL:-1}
# Every harness named in fuzz/CMakeLists.txt, so the two never disagree.
all=$(sed -n '/^set(QUILLON_FUZZERS/,/^)/p' "$root/fuzz/CMakeLists.txt" | grep -o 'fuzz_[a-z_]*')
fuzzers=$(echo ${FUZZERS:-$all})

"$root/scripts/deps.sh" --fuzz
CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"${JOBS:-2}" --target $fuzzers

export QT_QPA_PLATFORM=offscreen
# Qt's hashes take a random seed per process unless told otherwise.
[ -n "${FUZZ_SEED:-}" ] && export QT_HASH_SEED=0
repeat=""
[ -n "${FUZZ_SEED:-}" ] && repeat="-seed=$FUZZ_SEED"
[ -n "${FUZZ_RUNS:-}" ] && repeat="$repeat -runs=$FUZZ_RUNS"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Runs one harness; its outcome goes to build-fuzz/NAME.status, since runs
# in the background cannot hand back a status.
run() {
    name=$1
    mkdir -p "$build/corpus/$name" "$build/artifacts/$name"
    seeds=""
    [ -d "$root/fuzz/corpus/$name" ] && seeds="$root/fuzz/corpus/$name"
    echo "== $name: $seconds s"
    # shellcheck disable=SC2086
    if "$build/fuzz/$name" -max_total_time="$seconds" $repeat -timeout=30 -rss_limit_mb=4096 \
        -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$name/" \
        "$build/corpus/$name" $seeds >"$build/$name.log" 2>&1; then
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$name.log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$build/$name.log")
        echo "== $name: no fault, ${execs:-?} inputs, ${rate:-?}/s, $(ls "$build/corpus/$name" | wc -l) kept"
        echo ok >"$build/$name.status"
    else
        echo "== $name: FAULT, see $build/$name.log and $build/artifacts/$name/"
        tail -n 30 "$build/$name.log"
        echo fault >"$build/$name.status"
    fi
}

running=0
for name in $fuzzers; do
    rm -f "$build/$name.status" "$build/artifacts/$name"/* 2>/dev/null || true
    if [ "$parallel" -le 1 ]; then
        run "$name"
    else
        run "$name" &
        running=$((running + 1))
        if [ "$running" -ge "$parallel" ]; then
            wait
            running=0
        fi
    fi
done
wait
# A harness that did not report a clean run, or kept an input, is a fault.
status=0
for name in $fuzzers; do
    if [ "$(cat "$build/$name.status" 2>/dev/null)" != ok ] \
        || ls "$build/artifacts/$name" | grep -q -e '^crash-' -e '^timeout-' -e '^oom-' -e '^leak-'; then
        echo "== $name: failed"
        status=1
    fi
done
exit $status
