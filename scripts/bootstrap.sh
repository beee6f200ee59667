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
    wine32:i386
    wixl
    msitools
    osslsigncode
    openssl
    ccache
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

need_root
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
