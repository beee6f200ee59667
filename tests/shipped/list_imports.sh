#!/usr/bin/env bash
# Prints a PE module's imports as "DLL function" lines (DLL in lower case), from objdump -p.
# Usage: list_imports.sh OBJDUMP MODULE
set -euo pipefail
"$1" -p "$2" | awk '
    /^The Import Tables/ { inside = 1; next }
    /^The Export Tables/ || /^PE File Base Relocations/ { inside = 0 }
    inside && /DLL Name:/ { dll = tolower($3); next }
    inside && dll != "" && NF >= 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && $3 !~ /^0+$/ { print dll, $3 }
'
