#!/usr/bin/env bash
# Creates a build folder's private Wine prefix once: the architecture of the build (win32 or
# win64, through the build's wine-run.sh), the null graphics driver.
# Usage: scripts/wine-prefix.sh BUILD_DIR   (a folder configured by scripts/build.sh)
set -euo pipefail
build=$(cd "$1" && pwd)
prefix="$build/wineprefix"
if [ -f "$prefix/.ready" ]; then
    exit 0
fi
rm -rf "$prefix"
echo "Creating the Wine prefix for $(basename "$build") (once per build folder)..."
export WINEPREFIX="$prefix"
"$build/wine-run.sh" wineboot -i >/dev/null 2>&1
# Real windows without a display: message boxes and dialogs exist and can be driven.
"$build/wine-run.sh" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
# Until the wineserver has gone, the old driver stays in force.
wineserver -w
touch "$prefix/.ready"
