#!/bin/bash
# A pass of Sitewake over 1,000 sites whose interval has not passed (each folder's check record
# says it was checked ten minutes ago, the interval is an hour), followed by one every-pass site:
# the time until that site is asked for, less its first pause. Builds first. Goal: under 1 s and no
# request for the 1,000. Exits 3 when it is missed.
#
#   bench/skip.sh [--runs N] [--sites N]
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

. "$ROOT/scripts/wine-env.sh"
sw_bench_enter skip.sh "$0" "$@"
sw_wine_session || exit 1
python3 "$ROOT/bench/skip_measure.py" "$@"
