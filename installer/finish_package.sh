#!/usr/bin/env bash
# Finishes the package wixl built, with msitools' msibuild, in what wixl cannot express:
#  - the DLL is a versioned file (File.Version and Language from its VERSIONINFO, no hash row), so
#    that installs and repairs compare versions as Windows does;
#  - the major upgrade includes the same version (VersionMaxInclusive): a rebuild of the same
#    version, or the other architecture's package, replaces the installed product instead of
#    standing beside it; the older package is still refused by the downgrade row;
#  - ARPSIZE, the size Apps and Features shows, from the DLL's size;
#  - the package's few dialogs (installer/ui/*.idt): a progress dialog and an exit dialog that says
#    Outlook must be restarted. A silent install (/qn) shows none of them.
# Usage: finish_package.sh MSIBUILD MSI VERSION DLL   (VERSION: the DLL's, the project version)
set -euo pipefail
msibuild=$1 msi=$(realpath "$2") version=$3 dll=$4
msiinfo=$(dirname "$msibuild")/msiinfo
ui=$(cd "$(dirname "$0")/ui" && pwd)

query() { "$msibuild" "$msi" -q "$1" 2>/dev/null || { echo "finish_package.sh: $1: failed" >&2; exit 1; }; }

query "UPDATE \`File\` SET \`Version\` = '$version', \`Language\` = '1033' WHERE \`File\` = 'VantrellDll'"
query "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = 'VantrellDll'"
# The Upgrade table's key includes Attributes: the row is replaced, not updated.
upgrade_code=$("$msiinfo" export "$msi" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t{\(.*\)}$/\1/p')
[ -n "$upgrade_code" ] || { echo "finish_package.sh: the package has no UpgradeCode" >&2; exit 1; }
query "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
query "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
       VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')"
size_kb=$((($(stat -c %s "$dll") + 1023) / 1024))
query "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('ARPSIZE', '$size_kb')"

for table in TextStyle Dialog Control ControlEvent ControlCondition EventMapping; do
    (cd "$ui" && "$msibuild" "$msi" -i "$table.idt") || { echo "finish_package.sh: cannot import $table" >&2; exit 1; }
done
query "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('DefaultUIFont', 'VantrellFont')"
query "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Sequence\`) VALUES ('ProgressDlg', 1299)"
query "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Sequence\`) VALUES ('ExitDlg', -1)"
