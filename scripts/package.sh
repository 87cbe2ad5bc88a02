#!/bin/bash
# Builds the release a user downloads: dist/Sitewake-<version>.zip holding Sitewake.exe,
# readme.txt (docs/readme.ja.txt in code page 932 with CR LF line ends) and LICENSE, and prints
# the zip's SHA-256. The version comes from res/version.h.
#
# Reproducible: the exe is built from scratch in build/package (no link time stamp, see
# cmake/program.cmake), and every zip entry carries one fixed time: SOURCE_DATE_EPOCH when set,
# else the time of the last commit, else 2026-01-01. The same source gives the same bytes.
#
#   scripts/package.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
cd "$ROOT"

version_part() {
  sed -n "s/^#define[[:space:]]*SITEWAKE_VERSION_$1[[:space:]]*\([0-9][0-9]*\)[[:space:]]*$/\1/p" \
    res/version.h
}
major=$(version_part MAJOR)
minor=$(version_part MINOR)
patch=$(version_part PATCH)
if [ -z "$major" ] || [ -z "$minor" ] || [ -z "$patch" ]; then
  echo "package.sh: res/version.h defines no whole version" >&2
  exit 1
fi
version="$major.$minor.$patch"

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  epoch="$SOURCE_DATE_EPOCH"
elif epoch=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null) && [ -n "$epoch" ]; then
  :
else
  epoch=1767225600 # 2026-01-01 00:00:00 UTC
fi

build="$ROOT/build/package"
rm -rf "$build"
cmake -S "$ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j "$JOBS" --target Sitewake >/dev/null

mkdir -p "$ROOT/dist"
zip="$ROOT/dist/Sitewake-$version.zip"
rm -f "$zip"
python3 "$ROOT/scripts/release_zip.py" "$zip.part" "$build/Sitewake.exe" \
  "$ROOT/docs/readme.ja.txt" "$ROOT/LICENSE" "$epoch"
mv "$zip.part" "$zip"

echo "$zip"
sha256sum "$zip" | cut -d' ' -f1
