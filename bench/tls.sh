#!/bin/bash
# Secure-page benchmark under Wine: a 50 KB and a 20 MB page fetched by the program's own fetch
# (fetch_probe.exe) over HTTPS and over plain HTTP from local servers in the same run, side by
# side, with the handshake time (certificate check included) and the size of Sitewake.exe.
# Builds first. Reference figures for a small Schannel client under Wine on qemu: handshake
# ~1.1 s, 33-39 MB/s for 20 MB; the exe under 200 KB. Exits 3 when the exe is too large.
#
#   bench/tls.sh [--runs N]
#
# Needs openssl (the test authority is made and trusted in the benchmark's own Wine prefix).
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

if [ "${SW_BENCH_INSIDE:-}" != 1 ]; then
  bash scripts/build.sh win32 >/dev/null || { echo "tls.sh: build failed" >&2; exit 1; }
  if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
    # Loopback only, in a network of its own.
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
python3 "$ROOT/bench/tls_measure.py" "$@"
