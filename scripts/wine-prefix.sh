#!/usr/bin/env bash
# Creates the build's private Wine prefix (32-bit, null graphics driver) once.
# Usage: scripts/wine-prefix.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
prefix="$build/wineprefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$prefix/.ready" ]; then
    exit 0
fi
rm -rf "$prefix"
echo "Creating the Wine prefix for the tests (once per build folder)..."
wineboot -i >/dev/null 2>&1
# Real windows without a display: message boxes and dialogs exist and can be driven.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
# Until the wineserver has gone, the old driver stays in force.
wineserver -w
touch "$prefix/.ready"
