#!/usr/bin/env bash
# Runs the README's signing command as written, on a clean copy of the source tree: the line of
# README.md that starts with "VANTRELL_SIGN_PFX=", its two <...> placeholders replaced by a
# throw-away certificate and its password file. Then checks that the DLL and the package it built
# verify against that certificate. The copy is the source tree's top-level entries linked into a
# fresh folder (no build folder), so the command meets what a fresh clone holds.
# Usage: signed_build_test.sh SOURCE_DIR OSSLSIGNCODE WORK_DIR
set -euo pipefail
source_dir=$1 osslsigncode=$2 work=$3
fail() { echo "FAIL: $*"; exit 1; }
source "$(dirname "${BASH_SOURCE[0]}")/test_certificate.sh"

line=$(grep -m1 -E '^ *VANTRELL_SIGN_PFX=' "$source_dir/README.md" | sed 's/^ *//') ||
    fail "README.md has no signing command (a line starting with VANTRELL_SIGN_PFX=)"
[ "$(grep -o '<[^>]*>' <<<"$line" | wc -l)" -eq 2 ] || fail "the signing command has not two placeholders: $line"

rm -rf "$work"
mkdir -p "$work/keys" "$work/clone"
cd "$work/keys"
make_test_certificate

for entry in "$source_dir"/* "$source_dir"/.[!.]*; do
    case $(basename "$entry") in build|.git|'.[!.]*') continue ;; esac
    ln -s "$entry" "$work/clone/"
done
# The first placeholder is the PKCS#12 file, the second its password file.
command=$(sed -E "s|<[^>]*>|$work/keys/signer.pfx|; s|<[^>]*>|$work/keys/password|" <<<"$line")
echo "running: $command"
cd "$work/clone"
bash -c "$command" >"$work/build.log" 2>&1 || fail "the signing command failed: $(tail -n 20 "$work/build.log")"

# The build folder the command names: the argument after the architecture.
read -r -a words <<<"$command"
for i in "${!words[@]}"; do
    if [[ ${words[i]} == */build.sh ]]; then arch=${words[i + 1]}; dir=${words[i + 2]}; fi
done
[ -n "${dir:-}" ] || fail "the signing command names no build folder: $command"
for file in "$dir/bin/Vantrell.dll" "$dir/bin/Vantrell-$arch.msi"; do
    [ -f "$file" ] || fail "the signing command built no $file"
    "$osslsigncode" verify -CAfile "$work/keys/cert.pem" -in "$file" >"$work/verify.log" 2>&1 ||
        fail "$file does not verify: $(cat "$work/verify.log")"
    grep -q 'Signature verification: ok' "$work/verify.log" || fail "$file: no verified signature"
done
echo "the README's signing command built and signed Vantrell.dll and Vantrell-$arch.msi"
rm -rf "$work"
