# Shared Wine/Xvfb helpers for run.sh, test.sh and the benchmarks. Source it:
#   . scripts/wine-env.sh
#   sw_wine_env "$prefix"        # exports WINEPREFIX, WINEDEBUG, LC_ALL, SW_WINE_PRELOAD ...
#   sw_wine PROGRAM ARGS...      # wine with the preload that emulated 32-bit Wine needs
#   sw_prefix_ensure             # makes the prefix once (Managed=N), reuses it afterwards
#   sw_xvfb_start                # private display; exports DISPLAY, SW_XVFB_PID
#   sw_wineserver_start          # persistent wineserver for the prefix; SW_WINESERVER_PID
#   sw_wine_warm                 # Wine's background processes started, detached from our pipes
#   sw_wineserver_stop; sw_xvfb_stop
#   sw_wine_session              # all of the above at once, stopped when the script ends
# Everything started here is stopped by its own pid, never by name.

SW_ROOT="${SW_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
SW_WINESERVER_BIN=/usr/lib/wine/wineserver64
[ -x "$SW_WINESERVER_BIN" ] || SW_WINESERVER_BIN=/usr/lib/wine/wineserver32

sw_log() { echo "[wine-env] $*" >&2; }

# True when 32-bit Linux code runs only under qemu's user emulation (see install-deps.sh).
sw_i386_emulated() {
  [ -r /proc/sys/fs/binfmt_misc/qemu-i386 ] &&
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386
}

# Builds the mmap shim preloaded into emulated 32-bit Wine processes (wine-mmap-shim.c).
# The $LIB token in LD_PRELOAD picks the 32-bit copy in 32-bit processes; 64-bit ones
# (wineserver, wine64) find an empty library of their own and are left alone.
sw_shim_build() {
  local dir="$SW_ROOT/build/wine-shim" src="$SW_ROOT/scripts/wine-mmap-shim.c"
  local so32="$dir/lib/i386-linux-gnu/libswmmap.so" so64="$dir/lib/x86_64-linux-gnu/libswmmap.so"
  if [ ! -f "$so32" ] || [ "$src" -nt "$so32" ] || [ ! -f "$so64" ]; then
    mkdir -p "$(dirname "$so32")" "$(dirname "$so64")"
    clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib -o "$so32.tmp" "$src" &&
      mv "$so32.tmp" "$so32" || return 1
    echo 'void sw_mmap_shim_unused(void) {}' |
      clang -x c -O2 -fPIC -shared -nostdlib -o "$so64" - || return 1
  fi
  SW_SHIM_PRELOAD="$dir/\$LIB/libswmmap.so"
}

# sw_wine_env PREFIX: the environment every Wine process of ours runs with. The mmap shim
# (only where 32-bit code is emulated) is not exported as LD_PRELOAD, which would reach every
# program (sanitizer runtimes insist on coming first): it is given to Wine processes alone,
# through sw_wine here and rig.py in the tests, from SW_WINE_PRELOAD.
sw_wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG="${SW_WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LC_ALL=ja_JP.UTF-8
  export LANG=ja_JP.UTF-8
  unset WINEARCH
  export SW_WINE_PRELOAD=""
  if sw_i386_emulated; then
    sw_shim_build || { sw_log "cannot build the mmap shim"; return 1; }
    SW_WINE_PRELOAD="$SW_SHIM_PRELOAD"
  fi
}

# Runs a Wine program (wine, wine64, wineboot, ...) with the shim preloaded where needed.
sw_wine() {
  if [ -n "${SW_WINE_PRELOAD:-}" ]; then
    LD_PRELOAD="$SW_WINE_PRELOAD${LD_PRELOAD:+ $LD_PRELOAD}" "$@"
  else
    "$@"
  fi
}

# Makes $WINEPREFIX once; a stamp marks a finished prefix, so a broken half-made one is
# made again. Managed=N: without a window manager Wine otherwise waits 2 s per hide/close.
sw_prefix_ensure() {
  local stamp="$WINEPREFIX/.sitewake-prefix-ready"
  [ -f "$stamp" ] && return 0
  sw_log "making Wine prefix $WINEPREFIX (once)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  local wine64=/usr/lib/wine/wine64
  [ -x "$wine64" ] || wine64=wine
  # wineboot from the 64-bit loader: native and quick even where 32-bit code is emulated.
  sw_wine "$wine64" wineboot -i >/dev/null 2>&1 || true
  sw_wine "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
    return 1
  "$SW_WINESERVER_BIN" -w 2>/dev/null || true
  [ -d "$WINEPREFIX/drive_c/windows" ] || { sw_log "wineboot failed"; return 1; }
  touch "$stamp"
}

# sw_xvfb_start [WIDTHxHEIGHT]: an Xvfb on a display nobody else uses.
sw_xvfb_start() {
  local geom="${1:-1024x768}" n
  for n in $(seq "${SW_DISPLAY_FIRST:-91}" 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${geom}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    SW_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        export DISPLAY=":$n" SW_XVFB_PID
        return 0
      fi
      kill -0 "$SW_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$SW_XVFB_PID" 2>/dev/null
    wait "$SW_XVFB_PID" 2>/dev/null
    unset SW_XVFB_PID
  done
  sw_log "could not start Xvfb"
  return 1
}

sw_xvfb_stop() {
  if [ -n "${SW_XVFB_PID:-}" ]; then
    kill "$SW_XVFB_PID" 2>/dev/null
    wait "$SW_XVFB_PID" 2>/dev/null
    unset SW_XVFB_PID
  fi
}

# A persistent wineserver for $WINEPREFIX, in the foreground of a background job so that
# its pid is ours to stop.
sw_wineserver_start() {
  "$SW_WINESERVER_BIN" -f -p >/dev/null 2>&1 &
  SW_WINESERVER_PID=$!
  export SW_WINESERVER_PID
  sleep 0.2
  if ! kill -0 "$SW_WINESERVER_PID" 2>/dev/null; then
    # One already serves this prefix (another shell of ours): use it.
    wait "$SW_WINESERVER_PID" 2>/dev/null
    unset SW_WINESERVER_PID
  fi
}

# Starts Wine's background processes (services, explorer, ...) with no output handles of
# ours: started by a test's first Wine process they would inherit its pipes and hold them open.
sw_wine_warm() {
  sw_wine wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

# Stops this prefix's wineserver (and with it any Wine process left in this prefix).
sw_wineserver_stop() {
  if [ -n "${SW_WINESERVER_PID:-}" ]; then
    "$SW_WINESERVER_BIN" -k 2>/dev/null || kill "$SW_WINESERVER_PID" 2>/dev/null
    local i
    for i in $(seq 1 50); do
      kill -0 "$SW_WINESERVER_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$SW_WINESERVER_PID" 2>/dev/null
    wait "$SW_WINESERVER_PID" 2>/dev/null
    unset SW_WINESERVER_PID
  fi
}

# Stops the wineserver and the display when the calling script ends (or is interrupted).
sw_stop_on_exit() {
  trap 'sw_wineserver_stop; sw_xvfb_stop' EXIT
  trap 'exit 130' INT TERM
}

# For a benchmark script: builds the program, then runs the script again (its path and
# arguments given) inside a private network namespace with loopback only, when root can.
sw_bench_enter() {
  local name="$1" script="$2"
  shift 2
  if [ "${SW_BENCH_INSIDE:-}" != 1 ]; then
    bash "$SW_ROOT/scripts/build.sh" win32 >/dev/null || { echo "$name: build failed" >&2; exit 1; }
    if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
      exec unshare --net -- env SW_BENCH_INSIDE=1 bash "$script" "$@"
    fi
  fi
  [ "${SW_BENCH_INSIDE:-}" = 1 ] && ip link set lo up 2>/dev/null
  return 0
}

# A warm Wine session on a private display (a benchmark, a Wine test run by hand), stopped when
# the calling script ends.
sw_wine_session() {
  sw_stop_on_exit
  sw_wine_env "${SW_WINEPREFIX:-$SW_ROOT/build/wine-prefix}" || return 1
  sw_prefix_ensure || return 1
  sw_xvfb_start || return 1
  sw_wineserver_start
  sw_wine_warm
  export SW_RIG_READY=1
  if sw_i386_emulated; then
    echo "note: 32-bit code runs under qemu-i386 user emulation on this machine"
  fi
}
