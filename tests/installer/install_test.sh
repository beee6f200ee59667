#!/usr/bin/env bash
# Installs the Windows Installer package in the build's Wine prefix with msiexec and checks what
# it did, one case per run:
#   install_uninstall     the file, every registry row (the same as the DLL's own registration,
#                         made for reference with regsvr32), the add-in loading from the installed
#                         rows, then an uninstall that leaves nothing;
#   second_install        installing twice for the same user leaves one installation;
#   repair                the README's repair command puts back the DLL and registry rows
#                         deleted by hand;
#   uninstall_without_dll an uninstall after the DLL was deleted by hand leaves nothing;
#   upgrade               a newer package over an older one leaves one installation, of the newer
#                         version; the older one is then refused;
#   package_contents      the DLL's version in the File table, the icon, links, size and exit
#                         dialog in the package, what Apps and Features gets of them; /qn silent;
#   full_ui               the install and uninstall with their dialogs: the exit dialog says
#                         Outlook must be restarted, its Close ends the installer;
#   other_arch            the other architecture's package of the same version replaces the
#                         installed one, either way round, and its uninstall leaves nothing;
#   rebuild               a rebuild of the same version replaces the installed build;
#   all_users             ALLUSERS=1 or 2 is refused with a message, nothing installed;
#   upgrade_in_use        the newer package installs while a program (as Outlook would) holds the
#                         older DLL loaded: the installer asks for a restart (3010) and replaces the
#                         file at the restart, every registry row being in place meanwhile.
# Wine's COM reads classes only from HKLM\Software\Classes, so the add-in cannot load from the
# per-user rows as they are: the load check copies the installed rows, unchanged, to HKLM,
# creates a class through its ProgID with cscript and removes the copy.
# Usage: install_test.sh CASE WINE_RUN MSI DLL WIXL WXS ARCH VERSION HOLD_DLL MSIBUILD ANSWER_DIALOG
set -euo pipefail
case_name=$1 wine_run=$2 msi=$3 dll=$4 wixl=$5 wxs=$6 arch=$7 version=$8 hold_dll=$9 msibuild=${10}
answer_dialog=${11}
dll_version=$version
readme=$(dirname "$wxs")/../README.md

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

run() { "$wine_run" "$@" </dev/null 2>/dev/null; }
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }
addin_key='HKCU\Software\Microsoft\Office\Outlook\Addins\Vantrell.Connect'
progids=(Vantrell.Connect Vantrell.CRMAddIn Vantrell.InspWrap Vantrell.RegOp Vantrell.COpSysInfo)

local_appdata=$(run cmd /c echo %LOCALAPPDATA% | tr -d '\r')
install_dir_win="$local_appdata\\Quorvane\\Email History"
installed_dll_win="$install_dir_win\\Vantrell.dll"
installed_dll=$(run winepath -u "$installed_dll_win" | tr -d '\r')
quorvane_dir=$(dirname "$(dirname "$installed_dll")")
[ -n "$local_appdata" ] && [ -n "$installed_dll" ] || fail "cannot find the user's local application data folder"
reference_dll_win=$(windows_path "$dll")

# One line per registry value under KEY, "key<TAB>value as .reg writes it", sorted; the DLL's
# paths (installed or for reference) read @DLL@ and @DIR@, the classes root of either hive CLASSES.
registry_values() {
    local key=$1 out=$2
    if ! run reg export "$key" "$work/export.reg" /y >/dev/null; then : >"$out"; return; fi
    iconv -f UTF-16 -t UTF-8 "$work/export.reg" | DLL1="${installed_dll_win//\\/\\\\}" DLL2="${reference_dll_win//\\/\\\\}" awk '
        function literal(s, from, to,   i, out) {
            out = ""
            while (from != "" && (i = index(s, from)) > 0) { out = out substr(s, 1, i - 1) to; s = substr(s, i + length(from)) }
            return out s
        }
        function normal(s,   d) {
            s = literal(s, ENVIRON["DLL1"], "@DLL@"); s = literal(s, ENVIRON["DLL2"], "@DLL@")
            d = ENVIRON["DLL1"]; sub(/Vantrell\.dll$/, "", d); s = literal(s, d, "@DIR@")
            d = ENVIRON["DLL2"]; sub(/Vantrell\.dll$/, "", d); s = literal(s, d, "@DIR@")
            s = literal(s, "HKEY_LOCAL_MACHINE\\Software\\Classes\\", "CLASSES\\")
            return literal(s, "HKEY_CURRENT_USER\\Software\\Classes\\", "CLASSES\\")
        }
        { sub(/\r$/, "") }
        /^\[/ { key = substr($0, 2, length($0) - 2); next }
        key != "" && /^(@|")/ {
            line = $0
            while (line ~ /\\$/ && (getline more) > 0) { sub(/\r$/, "", more); sub(/^ +/, "", more); line = substr(line, 1, length(line) - 1) more }
            print normal(key "\t" line)
        }' | LC_ALL=C sort >"$out"
}
fold_keys() { awk -F '\t' -v OFS='\t' '{ $1 = tolower($1); print }' | LC_ALL=C sort; }
# The parts of HKCU that the package and the DLL's registration write: other tests running
# beside these write elsewhere in HKCU.
user_values() {
    registry_values 'HKCU\Software\Classes' "$work/user_classes"
    registry_values 'HKCU\Software\Microsoft\Office' "$work/user_office"
    LC_ALL=C sort "$work/user_classes" "$work/user_office" >"$1"
}
added() { LC_ALL=C comm -13 "$1" "$2"; }
removed() { LC_ALL=C comm -23 "$1" "$2"; }

msiexec() {
    local action=$1 package=$2
    shift 2
    run msiexec "$action" "$(windows_path "$package")" "$@" /qn
}

# What the DLL's own registration writes, with the DLL where the build put it: the classes
# (under HKLM, Wine running every process elevated) and the add-in key.
reference_rows() {
    registry_values 'HKLM\Software\Classes' "$work/hklm0"
    user_values "$work/hkcu0"
    run regsvr32 /s "$reference_dll_win" || fail "regsvr32 of the built DLL failed"
    registry_values 'HKLM\Software\Classes' "$work/hklm1"
    user_values "$work/hkcu1"
    run regsvr32 /u /s "$reference_dll_win" || fail "regsvr32 /u of the built DLL failed"
    # 64-bit Wine shares TypeLib with the 32-bit view: the same rows show again under Wow6432Node.
    { added "$work/hklm0" "$work/hklm1" | grep -v -F 'CLASSES\Wow6432Node\' || true
      added "$work/hkcu0" "$work/hkcu1"; } | LC_ALL=C sort >"$work/reference"
    [ -s "$work/reference" ] || fail "the DLL's own registration wrote nothing"
}

# Rows the package added to HKCU since the snapshot BEFORE; a 32-bit package's classes in the
# 32-bit view of 64-bit Windows read as the others.
installed_rows() {
    user_values "$work/hkcu_now"
    added "$1" "$work/hkcu_now" | sed 's/^CLASSES\\Wow6432Node\\/CLASSES\\/' >"$2"
}

# The file (by default the built DLL; EXPECTED_DLL names another) and every registry row.
check_installed() {
    local before=$1 expected=${2:-$dll}
    [ -f "$installed_dll" ] || fail "$installed_dll_win was not installed"
    cmp -s "$installed_dll" "$expected" || fail "the installed DLL is not $(basename "$expected")"
    installed_rows "$before" "$work/installed"
    for value in '"FriendlyName"="Quorvane Email History"' '"Description"="Quorvane Email History for Outlook"' \
                 '"LoadBehavior"=dword:00000003'; do
        grep -q -x -F "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook\\Addins\\Vantrell.Connect	$value" \
            "$work/installed" || fail "the add-in key lacks $value"
    done
    for progid in "${progids[@]}"; do
        grep -q -x -F "CLASSES\\$progid	@=\"$progid\"" "$work/installed" || fail "$progid is not registered"
    done
    [ "$(grep -c -F 'InprocServer32	@="@DLL@"' "$work/installed")" -eq 5 ] ||
        fail "not every class names the installed DLL as its server"
    removed "$before" "$work/hkcu_now" >"$work/lost"
    [ ! -s "$work/lost" ] || fail "the install removed registry values: $(cat "$work/lost")"
}

check_one_installation() {
    local products count
    products=$(run reg query "HKCU\\Software\\Microsoft\\Installer\\Products" /s /v ProductName | tr -d '\r' |
               grep -c 'Quorvane Email History' || true)
    [ "$products" -eq 1 ] || fail "$products installations for this user, expected one"
    registry_values 'HKCU\Software\Microsoft\Installer\UpgradeCodes' "$work/upgrade_codes"
    count=$(wc -l <"$work/upgrade_codes")
    [ "$count" -eq 1 ] || fail "$count products under the package's upgrade code, expected one"
}

# The one installed product is the package PACKAGE's (its product code) for the architecture ARCH.
check_product() {
    local package=$1 product_arch=$2 code name
    code=$(msi_table "$package" Property | sed -n 's/^ProductCode\t//p')
    [ "$(installed_products)" = "$code" ] || fail "installed: $(installed_products), expected $code ($(basename "$package"))"
    name="Quorvane Email History ($([ "$product_arch" = x86 ] && echo 32 || echo 64)-bit)"
    run reg query "HKCU\\Software\\Microsoft\\Installer\\Products" /s /v ProductName | tr -d '\r' |
        grep -q "ProductName *REG_SZ *$name\$" || fail "the installed product is not $name"
}
msi_table() { "$(dirname "$msibuild")/msiinfo" export "$1" "$2" | tr -d '\r'; }

check_nothing_left() {
    local before=$1
    [ ! -e "$installed_dll" ] || fail "the uninstall left $installed_dll_win"
    [ ! -e "$quorvane_dir" ] || fail "the uninstall left the folder $(dirname "$install_dir_win")"
    user_values "$work/hkcu_after"
    { added "$before" "$work/hkcu_after"; removed "$before" "$work/hkcu_after"; } >"$work/left"
    [ ! -s "$work/left" ] || fail "the uninstall did not restore the registry: $(cat "$work/left")"
    if run reg query "HKCU\\Software\\Microsoft\\Installer\\Products" /s /v ProductName | grep -q 'Quorvane'; then
        fail "the installer still lists the product"
    fi
}

# Creates a class through its ProgID with the installed rows copied to HKLM, where Wine's COM
# reads them; the copy goes again afterwards.
check_loads() {
    local key keys output
    keys=$(cut -f1 "$work/installed" | sed -n -E 's/^CLASSES\\((CLSID|TypeLib|Interface)\\[^\\]+|[^\\]+).*/\1/p' | sort -u)
    [ -n "$keys" ] || fail "no class rows to load from"
    for key in $keys; do
        run reg export "HKCU\\Software\\Classes\\$key" "$work/user.reg" /y >/dev/null || fail "cannot export $key"
        iconv -f UTF-16 -t UTF-8 "$work/user.reg" |
            sed 's/^\[HKEY_CURRENT_USER\\Software\\Classes/[HKEY_LOCAL_MACHINE\\Software\\Classes/' |
            iconv -f UTF-8 -t UTF-16 >"$work/machine.reg"
        run reg import "$(windows_path "$work/machine.reg")" || fail "cannot copy $key to HKLM"
    done
    printf 'var info = new ActiveXObject("Vantrell.COpSysInfo");\r\nWScript.Echo("major " + info.MajorVersion);\r\n' >"$work/load.js"
    output=$(run cscript //nologo "$(windows_path "$work/load.js")" | tr -d '\r' || true)
    for key in $keys; do
        run reg delete "HKLM\\Software\\Classes\\$key" /f >/dev/null || fail "cannot remove the copy of $key"
    done
    if run reg query 'HKLM\Software\Classes\Vantrell.COpSysInfo' >/dev/null; then fail "the copy in HKLM is still there"; fi
    [[ $output =~ ^major\ [0-9]+$ ]] || fail "the installed add-in did not load: '$output'"
}

snapshot() { user_values "$1"; }

# A package built here as the build makes it (wixl, then installer/finish_package.sh), at VERSION
# for ARCH, into $work/NAME.msi, with a DLL of its own in $work/NAME: the built DLL with bytes
# after its end, which Windows does not read, so that the files differ; below the built version
# its VERSIONINFO says VERSION too, as an older release's DLL does.
make_package() {
    local name=$1 version=$2 package_arch=$3
    mkdir -p "$work/$name"
    cp "$dll" "$work/$name/Vantrell.dll"
    printf '%s build' "$name" >>"$work/$name/Vantrell.dll"
    if [ "$version" != "$dll_version" ]; then
        VERSION=$version perl -0777 -pi -e '
            my ($a, $b, $c, $d) = (split(/\./, $ENV{VERSION}), 0, 0, 0, 0);
            my $fixed = pack("VV", ($a << 16) | $b, ($c << 16) | $d);
            s/(\xBD\x04\xEF\xFE.{4}).{16}/$1$fixed$fixed/s or die "no VS_FIXEDFILEINFO\n"' "$work/$name/Vantrell.dll" ||
            fail "cannot set the version of the $name DLL"
    fi
    (cd "$work/$name" && "$wixl" -a "$package_arch" -D Arch="$package_arch" -D Version="$version" \
         -D SourceDll=Vantrell.dll -o "$work/$name.msi" "$wxs" 2>/dev/null &&
     bash "$(dirname "$wxs")/finish_package.sh" "$msibuild" "$work/$name.msi" "$version" Vantrell.dll) ||
        fail "cannot build the $name package"
}
older_package() { make_package old "$1" "$arch"; }
# A text of the VERSIONINFO of the DLL FILE, by its NAME (FileVersion, LegalCopyright...).
version_text() {
    NAME=$1 perl -0777 -ne 'my $k = join("\0", split //, $ENV{NAME}) . "\0";
        if (/\Q$k\E\0\0(?:\0\0)?((?:[^\0]\0)+)\0\0/) { (my $v = $1) =~ s/\0//g; print $v }' "$2"
}
# The DLL a package holds: the built one, or the one make_package put beside it.
dll_of() { if [ "$1" = "$msi" ]; then echo "$dll"; else echo "${1%.msi}/Vantrell.dll"; fi; }

check_installed_version() {
    local major minor patch
    IFS=. read -r major minor patch _ <<<"$version"
    run reg query "HKCU\\Software\\Microsoft\\Installer\\Products" /s /v Version | tr -d '\r' >"$work/versions"
    grep -q -i "0x$(printf '%x' $(((major << 24) | (minor << 16) | patch)))\$" "$work/versions" ||
        fail "the installed version is not $version: $(cat "$work/versions")"
}

pending_renames() {
    run reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations |
        tr -d '\r' | sed -n 's/.*REG_MULTI_SZ *//p' || true
}

# Every installed product of ours, by product code: the installer keeps its products under
# "squished" codes (each part of the GUID reversed, each byte's two digits swapped).
installed_products() {
    local squished code i
    for squished in $(run reg query 'HKCU\Software\Microsoft\Installer\Products' /s | tr -d '\r' |
                      awk '/^HKEY/ { n = split($0, part, "\\"); key = part[n] }
                           /^ +ProductName +REG_SZ +Quorvane Email History/ { print key }'); do
        code="{$(rev <<<"${squished:0:8}")-$(rev <<<"${squished:8:4}")-$(rev <<<"${squished:12:4}")-"
        for i in 16 18 20 22 24 26 28 30; do
            code+="${squished:i+1:1}${squished:i:1}"
            [ $i -eq 18 ] && code+=-
        done
        echo "$code}"
    done
}
remove_every_installation() {
    local product
    for product in $(installed_products); do run msiexec /x "$product" /qn || true; done
}

# A leftover of an earlier run goes first, and whatever this run installed goes at its end.
remove_every_installation
# A program still holding the DLL (a failed in-use case) lets it go first, so that the uninstall
# can remove it at once.
holder=
release_holder() { if [ -n "$holder" ]; then touch "$work/release"; wait "$holder" || true; holder=; fi; }
trap 'release_holder; remove_every_installation; rm -rf "$work"' EXIT
[ ! -e "$quorvane_dir" ] || fail "the add-in is installed before the test"

case $case_name in
    install_uninstall)
        reference_rows
        snapshot "$work/before"
        msiexec /i "$msi" || fail "msiexec /i failed"
        check_installed "$work/before"
        # Key names compare without regard to case, as the registry treats them.
        diff <(fold_keys <"$work/reference") <(fold_keys <"$work/installed") >"$work/difference" ||
            fail "the package's rows differ from the DLL's own registration (< DLL, > package):
$(cat "$work/difference")"
        check_one_installation
        cp "$work/installed" "$work/installed_rows"
        check_loads
        # The load check touched HKLM only: the package's rows are as they were.
        installed_rows "$work/before" "$work/after_load"
        cmp -s "$work/installed_rows" "$work/after_load" || fail "the load check changed the installed rows"
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "installed and uninstalled: $(wc -l <"$work/installed_rows") registry values, as the DLL registers them"
        ;;
    second_install)
        snapshot "$work/before"
        msiexec /i "$msi" || fail "msiexec /i failed"
        check_installed "$work/before"
        cp "$work/installed" "$work/first"
        msiexec /i "$msi" || true
        check_installed "$work/before"
        cmp -s "$work/first" "$work/installed" || fail "the second install changed the registry rows"
        check_one_installation
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "a second install left one installation; the uninstall removed it"
        ;;
    repair)
        snapshot "$work/before"
        msiexec /i "$msi" || fail "msiexec /i failed"
        check_installed "$work/before"
        cp "$work/installed" "$work/first"
        rm "$installed_dll"
        run reg delete 'HKCU\Software\Classes\Vantrell.RegOp' /f >/dev/null || fail "cannot delete a ProgID"
        run reg delete "$addin_key" /v LoadBehavior /f >/dev/null || fail "cannot delete LoadBehavior"
        # The README's repair command, with this architecture's package. Wine's installer rewrites
        # the rows whatever the mode; Windows only with "u" (per-user rows), so the mode must hold it.
        repair=$(grep -m1 -o -E 'msiexec /i Vantrell-x64\.msi REINSTALL=ALL REINSTALLMODE=[a-z]+' "$readme") ||
            fail "README.md names no repair command"
        [[ ${repair##*=} == *u* ]] || fail "the README's repair ($repair) does not rewrite per-user rows (no u)"
        read -r -a words <<<"${repair#msiexec }"
        msiexec "${words[0]}" "$msi" "${words[@]:2}" || fail "the repair ($repair) failed"
        check_installed "$work/before"
        cmp -s "$work/first" "$work/installed" || fail "the repair did not put back every row"
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "the repair put back the DLL and the deleted rows"
        ;;
    uninstall_without_dll)
        snapshot "$work/before"
        msiexec /i "$msi" || fail "msiexec /i failed"
        check_installed "$work/before"
        rm "$installed_dll"
        msiexec /x "$msi" || fail "msiexec /x failed after the DLL was deleted"
        check_nothing_left "$work/before"
        echo "the uninstall after the DLL was deleted removed every row"
        ;;
    upgrade)
        old_version=0.0.1
        older_package "$old_version"
        snapshot "$work/before"
        msiexec /i "$work/old.msi" || fail "msiexec /i of the older package failed"
        check_installed "$work/before" "$work/old/Vantrell.dll"
        msiexec /i "$msi" || fail "msiexec /i of the newer package over the older one failed"
        check_installed "$work/before"
        check_one_installation
        check_installed_version
        if msiexec /i "$work/old.msi"; then fail "the older package installed over the newer one"; fi
        msi_table "$work/old.msi" LaunchCondition |
            grep -q -x -F 'NOT WIX_DOWNGRADE_DETECTED	A newer version of [ProductName] is already installed.' ||
            fail "the older package refuses without saying why"
        check_installed "$work/before"
        check_one_installation
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "$version replaced $old_version; $old_version was then refused"
        ;;
    upgrade_in_use)
        older_package 0.0.1
        [ -z "$(pending_renames)" ] || fail "file operations are pending before the test: $(pending_renames)"
        snapshot "$work/before"
        msiexec /i "$work/old.msi" || fail "msiexec /i of the older package failed"
        check_installed "$work/before" "$work/old/Vantrell.dll"
        "$wine_run" "$hold_dll" "$installed_dll_win" "$(windows_path "$work/loaded")" \
            "$(windows_path "$work/release")" </dev/null >/dev/null 2>&1 &
        holder=$!
        for _ in $(seq 100); do [ -e "$work/loaded" ] && break; sleep 0.1; done
        [ -e "$work/loaded" ] || fail "the older DLL could not be held loaded"
        set +e
        msiexec /i "$msi"
        status=$?
        set -e
        # 3010: installed, a restart completes it (the exit status keeps its low byte, 194).
        [ "$status" -eq $((3010 & 255)) ] || fail "msiexec /i over the DLL in use ended with $status, not 3010"
        check_installed "$work/before" "$work/old/Vantrell.dll"
        check_one_installation
        check_installed_version
        pending_renames >"$work/pending"
        grep -q -F "$installed_dll_win" "$work/pending" || fail "no replace of the DLL is scheduled: $(cat "$work/pending")"
        touch "$work/release"
        wait "$holder" || fail "the program holding the DLL failed"
        holder=
        # What Windows does at its next start: the scheduled replace.
        run wineboot -r || fail "wineboot -r failed"
        check_installed "$work/before"
        [ -z "$(pending_renames)" ] || fail "file operations are still pending after the restart: $(pending_renames)"
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "installed over the DLL in use: exit 3010, every row in place, the new DLL after the restart"
        ;;
    package_contents)
        # What Windows Installer and Apps and Features read from the package, and what a silent
        # install registers of it: the DLL a versioned file, the icon, the service's site, the size,
        # and the exit dialog's word that Outlook must be restarted (never shown by /qn).
        file_version=$(version_text FileVersion "$dll")
        [ "$file_version" = "$version" ] || fail "the DLL's FileVersion is '$file_version', not $version"
        [ "$(msi_table "$msi" File | awk -F '\t' '$1 == "VantrellDll" { print $5 "/" $6 }')" = "$file_version/1033" ] ||
            fail "the File table does not give the DLL its version: $(msi_table "$msi" File | tail -n 1)"
        [ -z "$(msi_table "$msi" MsiFileHash | sed 1,3d)" ] || fail "the versioned DLL still has a hash row"
        msi_table "$msi" Property >"$work/properties"
        for row in 'ARPPRODUCTICON	Vantrell.ico' 'ARPHELPLINK	https://crm.quorvane.com/' \
                   'ARPURLINFOABOUT	https://crm.quorvane.com/' "ARPSIZE	$((($(stat -c %s "$dll") + 1023) / 1024))"; do
            grep -q -x -F "$row" "$work/properties" || fail "the package lacks the property '$row'"
        done
        "$(dirname "$msibuild")/msiinfo" extract "$msi" Icon.Vantrell.ico >"$work/icon.ico" ||
            fail "the package has no icon"
        cmp -s "$work/icon.ico" "$(dirname "$wxs")/Vantrell.ico" || fail "the package's icon is not installer/Vantrell.ico"
        msi_table "$msi" Control | grep -q -P '^ExitDlg\tInstalled\tText\t.*\tQuorvane Email History has been installed\. Outlook must be restarted to load it: close Outlook and start it again\.\t' ||
            fail "the exit dialog does not say that Outlook must be restarted"
        msi_table "$msi" InstallUISequence | grep -q -x -F 'ExitDlg		-1' || fail "the exit dialog is not shown at the end"
        # /qn runs none of the dialogs: the install ends by itself.
        snapshot "$work/before"
        msiexec /i "$msi" || fail "msiexec /i /qn failed"
        check_installed "$work/before"
        run reg query 'HKCU\Software\Microsoft\Installer\Products' /s /v ProductIcon | tr -d '\r' |
            grep -q 'ProductIcon *REG_SZ *.*\\Vantrell\.ico$' || fail "the product's icon is not registered"
        run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData' /s | tr -d '\r' >"$work/userdata"
        for value in 'HelpLink' 'URLInfoAbout'; do
            grep -q -E "^ +$value +REG_SZ +https://crm\.quorvane\.com/$" "$work/userdata" || fail "Apps and Features has no $value"
        done
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "a versioned DLL ($file_version), the icon, the service's site, the size and the exit dialog; /qn silent"
        ;;
    full_ui)
        # A double click: the full UI, which ends with the exit dialog; the user reads that Outlook
        # must be restarted and clicks Close. The uninstall's dialog says so too. (With /qn, as in
        # every other case, no dialog shows: a modal one would wait for a click forever.)
        title="Quorvane Email History ($([ "$arch" = x86 ] && echo 32 || echo 64)-bit)"
        snapshot "$work/before"
        for action in /i /x; do
            "$wine_run" msiexec "$action" "$(windows_path "$msi")" </dev/null >/dev/null 2>&1 &
            installer=$!
            if ! "$wine_run" "$answer_dialog" "$title" Close 60 </dev/null 2>/dev/null | tr -d '\r' >"$work/dialog"; then
                kill "$installer" 2>/dev/null || true
                fail "msiexec $action showed no exit dialog \"$title\" with a Close button"
            fi
            wait "$installer" || fail "msiexec $action with its dialogs failed"
            if [ "$action" = /i ]; then
                expected='Quorvane Email History has been installed. Outlook must be restarted to load it: close Outlook and start it again.'
                check_installed "$work/before"
            else
                expected='Quorvane Email History has been removed. Outlook must be restarted to let it go: close Outlook and start it again.'
                check_nothing_left "$work/before"
            fi
            [ "$(grep -v -x Close "$work/dialog")" = "$expected" ] ||
                fail "the exit dialog of msiexec $action says: $(cat "$work/dialog")"
        done
        echo "the exit dialogs of the install and the uninstall say that Outlook must be restarted"
        ;;
    other_arch)
        # The other architecture's package of the same version: both install the same file and the
        # same add-in key for the same user, so each replaces the other, and uninstalling the one
        # installed leaves nothing. 32-bit Windows refuses the 64-bit package and keeps what it has.
        other=x86
        [ "$arch" = x86 ] && other=x64
        make_package other "$version" "$other"
        windows_arch=$(run cmd /c echo %PROCESSOR_ARCHITECTURE% | tr -d '\r')
        snapshot "$work/before"
        msiexec /i "$msi" || fail "msiexec /i failed"
        check_installed "$work/before"
        check_product "$msi" "$arch"
        if [ "$windows_arch" = x86 ]; then
            if msiexec /i "$work/other.msi"; then fail "32-bit Windows installed the 64-bit package"; fi
            check_installed "$work/before"
            check_product "$msi" "$arch"
            msiexec /x "$msi" || fail "msiexec /x failed"
            check_nothing_left "$work/before"
            echo "32-bit Windows refused the 64-bit package and kept the 32-bit one; the uninstall removed it"
        else
            for order in "$msi $arch $work/other.msi $other" "$work/other.msi $other $msi $arch"; do
                read -r first first_arch second second_arch <<<"$order"
                msiexec /i "$first" || fail "msiexec /i of the $first_arch package failed"
                check_installed "$work/before" "$(dll_of "$first")"
                check_product "$first" "$first_arch"
                msiexec /i "$second" || fail "msiexec /i of the $second_arch package over the $first_arch one failed"
                check_installed "$work/before" "$(dll_of "$second")"
                check_one_installation
                check_product "$second" "$second_arch"
                msiexec /x "$second" || fail "msiexec /x of the $second_arch package failed"
                check_nothing_left "$work/before"
            done
            echo "$other over $arch and $arch over $other: each replaced the other; each uninstall left nothing"
        fi
        ;;
    rebuild)
        # The same version built again (a new product code): it replaces the installed build.
        make_package rebuild "$version" "$arch"
        snapshot "$work/before"
        msiexec /i "$msi" || fail "msiexec /i failed"
        check_installed "$work/before"
        msiexec /i "$work/rebuild.msi" || fail "msiexec /i of the rebuild failed"
        check_installed "$work/before" "$work/rebuild/Vantrell.dll"
        check_one_installation
        check_product "$work/rebuild.msi" "$arch"
        msiexec /i "$msi" || fail "msiexec /i of the first build over the rebuild failed"
        check_installed "$work/before"
        check_product "$msi" "$arch"
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "a rebuild of $version replaced the installed build, and the first build the rebuild"
        ;;
    all_users)
        # A per-machine install would still put the file and every row in the installing user's
        # profile: the package refuses it, says why, and installs nothing.
        msi_table "$msi" LaunchCondition | grep -q -x -F 'Installed OR NOT ALLUSERS	[ProductName] installs for the current user only: run the installer without ALLUSERS, as each user of Outlook.' ||
            fail "the package has no launch condition refusing ALLUSERS"
        snapshot "$work/before"
        for value in 1 2; do
            if msiexec /i "$msi" ALLUSERS=$value; then fail "the package installed with ALLUSERS=$value"; fi
            check_nothing_left "$work/before"
            if run reg query 'HKLM\Software\Classes\Installer\Products' /s /v ProductName | grep -q 'Quorvane'; then
                fail "ALLUSERS=$value left a per-machine product"
            fi
        done
        msiexec /i "$msi" || fail "msiexec /i for the current user failed"
        check_installed "$work/before"
        msiexec /x "$msi" || fail "msiexec /x failed"
        check_nothing_left "$work/before"
        echo "ALLUSERS=1 and 2 refused with nothing installed; the per-user install works"
        ;;
    *)
        echo "install_test.sh: unknown case '$case_name'" >&2
        exit 2
        ;;
esac
