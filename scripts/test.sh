#!/bin/bash
# Builds Sitewake and runs every test: the native ones (scripts/test-native.sh: unit tests,
# sanitizers, fuzzers) and the Wine tests of the real program (ctest in build/win32), inside a
# private network namespace (loopback only, port 80 ours) with a private Xvfb and a warm
# wineserver for the prefix build/wine-prefix (made once, reused). Ends with the line
# "N passed, N failed" and a non-zero status when anything failed.
#
#   scripts/test.sh                 everything
#   scripts/test.sh -R main_window  only the Wine tests whose names match (ctest -R)
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

if [ "${SW_TEST_INSIDE:-}" != 1 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "test.sh: run as root (packages, and a private network namespace)" >&2
    exit 1
  fi
  bash scripts/install-deps.sh || { echo "0 passed, 1 failed"; exit 1; }
  if ! bash scripts/build.sh; then
    echo "test.sh: the build failed" >&2
    echo "0 passed, 1 failed"
    exit 1
  fi
  exec unshare --net -- env SW_TEST_INSIDE=1 bash "$0" "$@"
fi

# --- inside the private network namespace -------------------------------------------------
ip link set lo up

. "$ROOT/scripts/wine-env.sh"
sw_stop_on_exit

passed=0
failed=0
results=()

# Adds the counts from a runner's closing lines (ctest's "N% tests passed, F tests failed out
# of T"); a runner that printed none counts as one test, passed or failed by its status.
count_log() {
  local name="$1" status="$2" log="$3" line p f t got=0
  while IFS= read -r line; do
    if [[ "$line" =~ tests\ passed,\ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
      f="${BASH_REMATCH[1]}"
      t="${BASH_REMATCH[2]}"
      passed=$((passed + t - f))
      failed=$((failed + f))
      got=1
    fi
  done < "$log"
  if [ "$got" = 0 ]; then
    if [ "$status" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  elif [ "$status" != 0 ] && ! grep -qE 'tests passed, [1-9][0-9]* tests? failed' "$log"; then
    failed=$((failed + 1)) # failed outside its tests (a build step, a crash)
  fi
  results+=("$name: exit $status")
}

mkdir -p "$ROOT/build/test-logs"
ctest_args=("$@")

if [ ${#ctest_args[@]} -eq 0 ]; then
  echo "=== native tests (scripts/test-native.sh)"
  log="$ROOT/build/test-logs/native.log"
  bash "$ROOT/scripts/test-native.sh" 2>&1 | tee "$log"
  count_log native "${PIPESTATUS[0]}" "$log"
fi

echo "=== Wine tests"
sw_wine_env "${SW_WINEPREFIX:-$ROOT/build/wine-prefix}" || { echo "0 passed, 1 failed"; exit 1; }
wine_ok=1
sw_prefix_ensure || wine_ok=0
if [ "$wine_ok" = 1 ]; then
  sw_xvfb_start || wine_ok=0
fi
if [ "$wine_ok" = 1 ]; then
  export SW_RIG_READY=1
  echo "Wine prefix $WINEPREFIX, display $DISPLAY"
  # Each test file gets a wineserver of its own, so that nothing one file leaves behind in the
  # prefix (a program, a desktop, a helper) can stand in the way of the next.
  mapfile -t wine_tests < <(cd "$ROOT/build/win32" && ctest -N "${ctest_args[@]}" |
                            sed -n 's/^ *Test *#[0-9]*: *//p')
  for name in "${wine_tests[@]}"; do
    sw_wineserver_start
    sw_wine_warm
    log="$ROOT/build/test-logs/$name.log"
    (cd "$ROOT/build/win32" && ctest --output-on-failure -R "^${name//./\\.}\$") 2>&1 | tee "$log"
    count_log "$name" "${PIPESTATUS[0]}" "$log"
    sw_wineserver_stop
  done
else
  echo "test.sh: could not set up Wine (prefix or Xvfb)" >&2
  failed=$((failed + 1))
fi

echo
for r in "${results[@]}"; do echo "  $r"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
