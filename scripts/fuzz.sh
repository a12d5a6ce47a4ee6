#!/bin/sh
# Builds the fuzz harnesses of fuzz/ with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for SECONDS
# seconds, starting from its seed corpus in fuzz/corpus/NAME. New inputs
# the fuzzer keeps go to build-fuzz/corpus/NAME, inputs that crash or break
# an invariant to build-fuzz/artifacts/NAME. Set FUZZ_PARALLEL=N to run N
# harnesses at a time, FUZZERS="fuzz_surface ..." to run only some.
# Usage: sh scripts/fuzz.sh SECONDS
set -eu
seconds=${1:?usage: sh scripts/fuzz.sh SECONDS}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
parallel=${FUZZ_PARALLEL:-1}
all="fuzz_objecttree fuzz_spellinglist fuzz_prefloader fuzz_commandlanguage fuzz_textdecoder fuzz_surface fuzz_colouring fuzz_indenter fuzz_toollinks"
fuzzers=${FUZZERS:-$all}

CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzzers -j"${JOBS:-2}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run() {
    name=$1
    mkdir -p "$build/corpus/$name" "$build/artifacts/$name"
    echo "== $name: $seconds s"
    if "$build/fuzz/$name" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
        -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$name/" \
        "$build/corpus/$name" "$root/fuzz/corpus/$name" >"$build/$name.log" 2>&1; then
        echo "== $name: no fault ($(grep -c . "$build/$name.log") log lines, $(ls "$build/corpus/$name" | wc -l) inputs kept)"
    else
        echo "== $name: FAULT, see $build/$name.log and $build/artifacts/$name/"
        return 1
    fi
}

running=0
for name in $fuzzers; do
    rm -f "$build/artifacts/$name"/crash-* "$build/artifacts/$name"/timeout-* \
        "$build/artifacts/$name"/oom-* "$build/artifacts/$name"/leak-* 2>/dev/null || true
    if [ "$parallel" -le 1 ]; then
        run "$name" || true
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
# Any input kept as an artifact is a fault.
status=0
for name in $fuzzers; do
    if ls "$build/artifacts/$name" | grep -q .; then
        status=1
    fi
done
exit $status
