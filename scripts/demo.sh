#!/usr/bin/env bash
# Builds the add-in and runs the demo: a user's first and second start of the simulated
# Outlook with the add-in, logging on against the service double (see sim/demo/demo.cpp).
# It runs the 32-bit add-in where this machine can run 32-bit programs, the 64-bit one
# otherwise; ARCH=x86 or ARCH=x64 chooses. The build is quiet: its output goes to
# BUILD_DIR/<arch>/demo-build.log, shown only when the build fails.
# Usage: scripts/demo.sh   (BUILD_DIR overrides the build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
source "$root/scripts/wine-arch.sh"

# What the bootstrap says (it installs what is missing) goes to its own log, shown when it fails.
mkdir -p "$build"
if ! bash "$root/scripts/bootstrap.sh" >"$build/bootstrap.log" 2>&1; then
    cat "$build/bootstrap.log" >&2
    echo "demo.sh: installing the toolchain failed (as root?); its output is in $build/bootstrap.log" >&2
    exit 1
fi
arch=${ARCH:-}
if [ -z "$arch" ]; then
    if wine_runs x86; then
        arch=x86
    else
        echo "(32-bit add-in not shown: $WINE_REASON)"
        arch=x64
    fi
fi
if ! wine_runs "$arch"; then
    echo "demo.sh: $WINE_REASON" >&2
    exit 1
fi
mkdir -p "$build/$arch"
log="$build/$arch/demo-build.log"
echo "Building the $arch add-in in $build/$arch (the build's output goes to $log)"
if ! { bash "$root/scripts/build.sh" "$arch" "$build/$arch" demo && bash "$root/scripts/wine-prefix.sh" "$build/$arch"; } \
        >"$log" 2>&1; then
    grep -E -i -B2 -A8 'error|fatal|failed' "$log" | tail -n 60 >&2 || tail -n 40 "$log" >&2
    echo "demo.sh: the build failed; its whole output is in $log" >&2
    exit 1
fi
echo

"$build/$arch/wine-run.sh" "$build/$arch/bin/demo.exe"
