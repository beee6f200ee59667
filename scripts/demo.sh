#!/usr/bin/env bash
# Builds the add-in and runs the demo: a user's first and second start of the simulated
# Outlook with the add-in, logging on against the service double (see sim/demo/demo.cpp).
# Usage: scripts/demo.sh   (BUILD_DIR overrides the build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

bash "$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target demo
bash "$root/scripts/wine-prefix.sh" "$build"

"$build/wine-run.sh" "$build/bin/demo.exe"
