#!/usr/bin/env bash
# Configures and builds one architecture's build folder; shared by the test and demo commands.
# Usage: scripts/build.sh x86|x64 BUILD_DIR [TARGET...]
#   x86: 32-bit (PE32), Outlook 2000 and later;  x64: 64-bit (PE32+), 64-bit Outlook 2010 and later.
# The shipped add-in lands in BUILD_DIR/bin/Vantrell.dll (its symbols in Vantrell.dll.debug).
# Signing: VANTRELL_SIGN_PFX (a PKCS#12 file) and VANTRELL_SIGN_PASSWORD_FILE (a file holding its
# password), optionally VANTRELL_SIGN_TIMESTAMP_URL, set in the environment, sign the DLL and the
# package; relative paths are taken from the current folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$1 build=$2
shift 2
case $arch in
    x86) toolchain=mingw-i686.cmake ;;
    x64) toolchain=mingw-x86_64.cmake ;;
    *) echo "build.sh: unknown architecture '$arch' (x86 or x64)" >&2; exit 2 ;;
esac
signing=()
for name in VANTRELL_SIGN_PFX VANTRELL_SIGN_PASSWORD_FILE; do
    if [ -n "${!name:-}" ]; then
        [ -f "${!name}" ] || { echo "build.sh: $name: no file ${!name}" >&2; exit 2; }
        signing+=("-D$name=$(realpath "${!name}")")
    fi
done
if [ -n "${VANTRELL_SIGN_TIMESTAMP_URL:-}" ]; then signing+=("-DVANTRELL_SIGN_TIMESTAMP_URL=$VANTRELL_SIGN_TIMESTAMP_URL"); fi
# The compiler cache (where installed) sees paths relative to the source tree, so that another
# clone finds the same results, and accepts the precompiled headers the tests share.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
# The shipped DLL's objects carry debug information (-g), for which ccache would otherwise hash
# the build folder itself: every clone, and every other build folder (a release folder of the
# signing command), would then compile them all again. The debug information then names the
# folder of the build that compiled them first; the code is the same.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "${signing[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
