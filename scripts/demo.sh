#!/usr/bin/env bash
# Builds the add-in, registers it in the build's Wine prefix (as regsvr32 does on Windows)
# and runs the demo against it.
# Usage: scripts/demo.sh   (BUILD_DIR overrides the build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

bash "$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target Vantrell demo
bash "$root/scripts/wine-prefix.sh" "$build"

"$build/wine-run.sh" regsvr32 /s "$build/bin/Vantrell.dll"
"$build/wine-run.sh" "$build/bin/demo.exe"
