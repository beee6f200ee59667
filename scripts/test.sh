#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test under Wine.
# Usage: scripts/test.sh   (BUILD_DIR overrides the build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

bash "$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"
bash "$root/scripts/wine-prefix.sh" "$build"

# One wineserver for the whole run: each test process then starts in a fraction of a second.
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
wineserver -k 2>/dev/null || true
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT
"$build/wine-run.sh" "$build/bin/version_probe.exe" </dev/null >/dev/null 2>&1

ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
