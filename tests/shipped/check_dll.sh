#!/usr/bin/env bash
# Checks the shape of a shipped Vantrell.dll on the build machine, without running it:
# - the architecture: PE32 (i386) for x86, PE32+ (x86-64) for x64;
# - exactly the four COM entry points, exported undecorated;
# - imports from Windows system DLLs only (the runtime is linked in statically);
# - no debug information (it stays in Vantrell.dll.debug);
# - an icon (ICON and GROUP_ICON resources) and a version resource whose LegalCopyright names
#   the maker, as Explorer's properties show them;
# - for x86, only functions that Windows XP SP3 exports (windows_xp_exports.txt), never one
#   of refused_on_xp.txt.
# Usage: check_dll.sh x86|x64 OBJDUMP DLL
# Prints one line per problem and exits 1 if there is any, else prints what it checked.
set -euo pipefail
arch=$1 objdump=$2 dll=$3
here=$(cd "$(dirname "$0")" && pwd)
problems=0
problem() { echo "PROBLEM: $*"; problems=$((problems + 1)); }

[ -f "$dll" ] || { echo "PROBLEM: $dll does not exist"; exit 1; }

case $arch in
    x86) format=pei-i386 ;;
    x64) format=pei-x86-64 ;;
    *) echo "usage: check_dll.sh x86|x64 OBJDUMP DLL" >&2; exit 2 ;;
esac
actual=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
[ "$actual" = "$format" ] || problem "file format is '$actual', expected '$format'"

exports=$("$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
[ "$exports" = "$expected" ] || problem "exports are '$exports', expected '$expected'"

imports=$(bash "$here/list_imports.sh" "$objdump" "$dll")
[ -n "$imports" ] || problem "no imports found (objdump output not understood)"
system_dlls=" advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll shlwapi.dll version.dll "
for dll_name in $(echo "$imports" | cut -d' ' -f1 | sort -u); do
    case $system_dlls in
        *" $dll_name "*) ;;
        *) problem "imports from $dll_name, which is not a Windows system DLL" ;;
    esac
done

if "$objdump" -h "$dll" | grep -q ' \.debug_'; then
    problem "carries debug information"
fi

# The resource types of the .rsrc type table (its entries are indented by three blanks).
types=$("$objdump" -p "$dll" | sed -n '/^The .rsrc Resource Directory section/,$p' |
        sed -n -E 's/^[0-9a-f]+   Entry: ID: 0x0*([0-9a-f]+),.*/\1/p' | tr '\n' ' ')
for type in 3:ICON e:GROUP_ICON 10:VERSION; do
    case " $types" in
        *" ${type%%:*} "*) ;;
        *) problem "has no ${type#*:} resource (resource types: $types)" ;;
    esac
done
copyright=$(perl -0777 -ne 'my $k = join("\0", split //, "LegalCopyright") . "\0";
    if (/\Q$k\E\0\0(?:\0\0)?((?:[^\0]\0)+)\0\0/) { (my $v = $1) =~ s/\0//g; print $v }' "$dll")
[[ $copyright == "Copyright (C) "[0-9][0-9][0-9][0-9]" Quorvane" ]] || problem "LegalCopyright is '$copyright'"

if [ "$arch" = x86 ]; then
    while read -r dll_name function; do
        reason=$(awk -v f="$function" '$1 == f { $1 = ""; sub(/^ +/, ""); print; exit }' "$here/refused_on_xp.txt")
        if [ -n "$reason" ]; then
            problem "imports $function from $dll_name, which Windows XP SP3 lacks ($reason)"
        elif ! grep -qx "$dll_name $function" "$here/windows_xp_exports.txt"; then
            problem "imports $function from $dll_name, not known to exist on Windows XP SP3:" \
                    "look up its minimum Windows version and list it in windows_xp_exports.txt or refused_on_xp.txt"
        fi
    done <<< "$imports"
fi

if [ $problems -ne 0 ]; then
    echo "$dll: $problems problem(s)"
    exit 1
fi
count=$(echo "$imports" | wc -l)
echo "$dll: $format, four undecorated exports, $count imports from Windows system DLLs," \
     "no debug information$([ "$arch" = x86 ] && echo ', every import present on Windows XP SP3')"
