#!/bin/bash
# One pass of Sitewake over 100 pages of about 17 KB on loopback beside one run of urlwatch over the
# same pages: wall time (the program's pauses left out), CPU seconds, the wineserver's CPU seconds,
# peak memory. Builds first. Goals: the program's own CPU under urlwatch's, the wineserver's half of
# what it was (1.19 s), peak memory below urlwatch's. Exits 3 when a goal is missed.
#
#   bench/pass.sh [--sites N] [--page-kb N]
#
# The pass takes 1.5 s a site of pauses (150 s by default). Needs urlwatch (scripts/install-deps.sh).
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

. "$ROOT/scripts/wine-env.sh"
sw_bench_enter pass.sh "$0" "$@"
sw_wine_session || exit 1
python3 "$ROOT/bench/pass_measure.py" "$@"
