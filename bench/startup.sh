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

. "$ROOT/scripts/wine-env.sh"
sw_bench_enter startup.sh "$0" "$@"
sw_wine_session || exit 1
python3 "$ROOT/bench/startup_measure.py" "$@"
