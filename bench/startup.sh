#!/bin/bash
# Start-up benchmark of Sitewake under Wine: 1,000 registered sites against an empty registry,
# side by side in one run (median of several starts each, warm wineserver), and the size of
# Sitewake.exe. Builds first. Targets: 1,000 sites start under 0.3 s later than an empty
# registry; the exe at most 200 KB. Exits 3 when a target is missed.
#
#   bench/startup.sh [--runs N] [--sites N]
#
# Where 32-bit code runs under qemu emulation (see scripts/install-deps.sh) every start is
# slower as a whole; the difference between the two columns is still the program's own work.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

if [ "${SW_BENCH_INSIDE:-}" != 1 ]; then
  bash scripts/build.sh win32 >/dev/null || { echo "startup.sh: build failed" >&2; exit 1; }
  if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
    # Loopback only: whatever the program might try to reach stays inside.
    exec unshare --net -- env SW_BENCH_INSIDE=1 bash "$0" "$@"
  fi
fi
[ "${SW_BENCH_INSIDE:-}" = 1 ] && ip link set lo up 2>/dev/null

. "$ROOT/scripts/wine-env.sh"
cleanup() {
  sw_wineserver_stop
  sw_xvfb_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM

sw_wine_env "${SW_WINEPREFIX:-$ROOT/build/wine-prefix}" || exit 1
sw_prefix_ensure || exit 1
sw_xvfb_start || exit 1
sw_wineserver_start
sw_wine_warm
export SW_RIG_READY=1
if sw_i386_emulated; then
  echo "note: 32-bit code runs under qemu-i386 user emulation on this machine"
fi
python3 "$ROOT/bench/startup_measure.py" "$@"
