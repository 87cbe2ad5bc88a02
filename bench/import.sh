#!/bin/bash
# Import benchmark of Sitewake under Wine: 1,000 sites from a plain list and from OPML read into a
# program with no sites (files dropped on its window; the time until the summary box shows), then
# the start-up with the 1,000 imported sites beside the same number written straight into the
# registry file, and python3 reading the same files for a reference. Builds first. Goal: the
# summary box within 5 s. Exits 3 when it is missed.
#
#   bench/import.sh [--runs N] [--sites N]
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

. "$ROOT/scripts/wine-env.sh"
sw_bench_enter import.sh "$0" "$@"
sw_wine_session || exit 1
python3 "$ROOT/bench/import_measure.py" "$@"
