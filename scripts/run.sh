#!/bin/bash
# Runs Sitewake: installs what is missing, builds it, and starts build/win32/Sitewake.exe under
# Wine with code page 932 (LC_ALL=ja_JP.UTF-8). Nothing is copied: the program's data folder is
# build/win32/data beside the exe. Uses $DISPLAY when set, otherwise starts an Xvfb.
# The Wine prefix is build/wine-prefix (made on the first run).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

bash scripts/install-deps.sh
bash scripts/build.sh

. scripts/wine-env.sh
sw_wine_env "${WINEPREFIX:-$ROOT/build/wine-prefix}"
sw_prefix_ensure

prog=""
cleanup() {
  if [ -n "$prog" ] && kill -0 "$prog" 2>/dev/null; then
    kill "$prog" 2>/dev/null
    wait "$prog" 2>/dev/null
  fi
  sw_xvfb_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  sw_xvfb_start
  echo "run.sh: no DISPLAY; started Xvfb on $DISPLAY (look at it with: DISPLAY=$DISPLAY import -window root shot.png)"
fi

cd "$ROOT/build/win32"
echo "run.sh: starting Sitewake.exe (data folder $ROOT/build/win32/data)"
set +e
# The program itself is our child (not a subshell's), so stopping run.sh stops it by its pid.
if [ -n "${SW_WINE_PRELOAD:-}" ]; then
  export LD_PRELOAD="$SW_WINE_PRELOAD${LD_PRELOAD:+ $LD_PRELOAD}"
fi
wine Sitewake.exe "$@" &
prog=$!
wait "$prog"
status=$?
prog=""
echo "run.sh: Sitewake ended with status $status"
exit "$status"
