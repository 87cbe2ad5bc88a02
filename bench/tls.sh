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

. "$ROOT/scripts/wine-env.sh"
sw_bench_enter tls.sh "$0" "$@"
sw_wine_session || exit 1
python3 "$ROOT/bench/tls_measure.py" "$@"
