#!/bin/bash
# Native test run of the window-free code: builds and tests
#   <build root>/native       Release, then ctest
#   <build root>/native-asan  AddressSanitizer + UndefinedBehaviorSanitizer, then ctest
#   <build root>/fuzz         clang libFuzzer targets, each run for FUZZ_SECONDS (20) on its seeds
# Usage: scripts/test-native.sh [BUILD_ROOT]    (default: <repository>/build)
# Expects the packages to be installed and to run as root inside a private network namespace
# with loopback up (the fetch tests bind 127.0.0.1:80). Exits non-zero when anything fails.
set -uo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_root=${1:-$source_dir/build}
fuzz_seconds=${FUZZ_SECONDS:-20}
jobs=${JOBS:-$(nproc)}
failures=()

step() { echo; echo "==== $*"; }
fail() { echo "FAILED: $*" >&2; failures+=("$*"); }

configure_and_build() {
    local dir=$1
    shift
    cmake -S "$source_dir" -B "$build_root/$dir" "$@" >"$build_root/$dir.configure.log" 2>&1 ||
        { cat "$build_root/$dir.configure.log" >&2; return 1; }
    cmake --build "$build_root/$dir" -j"$jobs" ${TARGETS:+--target $TARGETS}
}

run_ctest() {
    (cd "$build_root/$1" && ctest --output-on-failure -j"$jobs")
}

mkdir -p "$build_root"

step "native (Release)"
if configure_and_build native -DCMAKE_BUILD_TYPE=Release; then
    run_ctest native || fail "ctest in native"
else
    fail "build of native"
fi

step "native-asan (sanitizers)"
if configure_and_build native-asan -DCMAKE_BUILD_TYPE=Debug -DSITEWAKE_SANITIZE=ON; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest native-asan || fail "ctest in native-asan"
else
    fail "build of native-asan"
fi

step "fuzz (clang, libFuzzer)"
fuzzers=(fuzz_body_writer fuzz_compare fuzz_line_diff fuzz_visible_text fuzz_url fuzz_part_filter)
if TARGETS="${fuzzers[*]}" configure_and_build fuzz -DCMAKE_CXX_COMPILER=clang++ -DSITEWAKE_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
    for fuzzer in "${fuzzers[@]}"; do
        seeds=$source_dir/tests/fuzz/corpus/${fuzzer#fuzz_}
        work=$build_root/fuzz/corpus-$fuzzer
        artifacts=$build_root/fuzz/artifacts/
        mkdir -p "$work" "$artifacts"
        echo "-- $fuzzer for ${fuzz_seconds}s"
        "$build_root/fuzz/fuzz/$fuzzer" -max_total_time="$fuzz_seconds" -artifact_prefix="$artifacts" \
            -print_final_stats=1 "$work" "$seeds" >"$build_root/fuzz/$fuzzer.log" 2>&1 ||
            { tail -40 "$build_root/fuzz/$fuzzer.log" >&2; fail "$fuzzer"; }
        grep -E "^(Done|stat::number_of_executed_units)" "$build_root/fuzz/$fuzzer.log" || true
    done
else
    fail "build of fuzz"
fi

echo
if ((${#failures[@]})); then
    echo "native tests FAILED: ${failures[*]}" >&2
    exit 1
fi
echo "native tests passed"
