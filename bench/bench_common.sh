# Shared by the benchmark scripts that run native programs: a failed step is named before the
# script ends (they run with set -e), and the native build is made through scripts/build.sh.
#   . "$root/bench/bench_common.sh"
#   bench_build_native "$build" fetch_bench compare_bench

bench_name=$(basename "$0")
trap 'echo "$bench_name: failed (status $?) at line $LINENO: $BASH_COMMAND" >&2' ERR

# Stops the benchmark with a reason.
bench_fail() {
    echo "$bench_name: $*" >&2
    exit 1
}

# bench_build_native BUILD_DIR TARGET...: builds the native tree when a target is missing. The
# default folder (build/native) is built by scripts/build.sh; another one must be built already.
bench_build_native() {
    local build=$1 target missing=0
    shift
    for target in "$@"; do
        [[ -x $build/bench/$target ]] || missing=1
    done
    [[ $missing == 1 ]] || return 0
    if [[ $build != "$root/build/native" ]]; then
        bench_fail "no $* in $build (build that folder first, or leave BUILD_DIR out)"
    fi
    bash "$root/scripts/build.sh" native >/dev/null || bench_fail "the native build failed (scripts/build.sh native)"
}
