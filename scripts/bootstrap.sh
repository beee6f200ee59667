#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent: a second run on a prepared machine installs nothing and returns quickly.
set -euo pipefail

need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "bootstrap: run as root (or through sudo) to install packages" >&2
        exit 1
    fi
}

# Both architectures: the win32 thread model for the shipped DLLs, the posix one for the tests
# (GoogleTest needs std::mutex). wine32:i386 installs on every machine of this kind even where
# the kernel cannot run it; scripts/test.sh finds out which Wine runs. wixl and msitools build
# the Windows Installer packages, osslsigncode signs the DLL and the packages
# (openssl makes the signing test's throw-away certificate). ccache keeps the compilers' results
# between builds and clones.
packages=(
    cmake
    make
    g++-mingw-w64-i686-posix
    g++-mingw-w64-i686-win32
    g++-mingw-w64-x86-64-posix
    g++-mingw-w64-x86-64-win32
    mingw-w64-tools
    binutils-mingw-w64-i686
    binutils-mingw-w64-x86-64
    libwine-dev
    googletest
    wine
    wine64
    wixl
    msitools
    osslsigncode
    openssl
    ccache
)

# 32-bit Wine runs the 32-bit suite. It comes from the i386 archive, whose indexes a mirror
# sometimes serves out of step with the amd64 ones; then it cannot be installed, and the run
# goes on without it: scripts/test.sh finds that 32-bit Wine cannot run and says so.
optional=(wine32:i386)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=() missing_optional=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
for p in "${optional[@]}"; do
    installed "$p" || missing_optional+=("$p")
done

if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
    exit 0
fi

need_root
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

# A mirror in the middle of a sync fails an index now and then: the required packages are
# tried again a few times; 32-bit Wine once per run, so that a mirror out of step costs a run
# seconds, not minutes.
update_tries() {
    local attempt
    for attempt in $(seq "$1"); do
        apt-get update -q && return 0
        echo "bootstrap: apt-get update failed (attempt $attempt of $1)" >&2
        [ "$attempt" -lt "$1" ] && sleep $((attempt * 5))
    done
    return 1
}

if [ ${#missing[@]} -gt 0 ]; then
    update_tries 3 || true
    for attempt in 1 2 3; do
        apt-get install -y -q --no-install-recommends "${missing[@]}" && break
        echo "bootstrap: apt-get install failed (attempt $attempt of 3)" >&2
        [ "$attempt" -eq 3 ] && exit 1
        sleep $((attempt * 5))
        update_tries 1 || true
    done
else
    apt-get update -qq >/dev/null 2>&1 || true
fi
# Quietly: a run whose mirror cannot give it says so in one line.
if [ ${#missing_optional[@]} -gt 0 ] &&
    ! apt-get install -y -qq --no-install-recommends "${missing_optional[@]}" >/dev/null 2>&1; then
    echo "bootstrap: WARNING: ${missing_optional[*]} could not be installed; the 32-bit tests" \
        "will be skipped until a later run installs it" >&2
fi
exit 0
