#!/bin/bash
# Configures and builds the native tree (unit tests, fuzzers, benchmarks of the window-free
# code) in build/native and the 32-bit Windows program in build/win32 (build/win32/Sitewake.exe).
# Usage: scripts/build.sh [native|win32]...   (both when none is named)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

targets=("$@")
[ "${#targets[@]}" -eq 0 ] && targets=(native win32)

for t in "${targets[@]}"; do
  case "$t" in
    native)
      cmake -S "$ROOT" -B "$ROOT/build/native" -DCMAKE_BUILD_TYPE=Release
      cmake --build "$ROOT/build/native" -j "$JOBS"
      ;;
    win32)
      cmake -S "$ROOT" -B "$ROOT/build/win32" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake"
      cmake --build "$ROOT/build/win32" -j "$JOBS"
      ;;
    *)
      echo "build.sh: unknown target '$t' (native or win32)" >&2
      exit 2
      ;;
  esac
done
