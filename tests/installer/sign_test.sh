#!/usr/bin/env bash
# Signs copies of the shipped DLL and the package with a throw-away self-signed code-signing
# certificate, through the build's own signing step (cmake/sign-file.cmake), and checks that
# osslsigncode verifies them against that certificate: SHA-256 and the description "Quorvane
# Email History". Checks too that an unsigned or altered file fails the verification and that a
# wrong password fails the signing and leaves the file as it was. The certificate, its key and
# the password live in a temporary folder that goes at the end.
# Usage: sign_test.sh OSSLSIGNCODE CMAKE SIGN_SCRIPT DLL MSI
set -euo pipefail
osslsigncode=$1 cmake=$2 sign_script=$3 dll=$4 msi=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
source "$(dirname "${BASH_SOURCE[0]}")/test_certificate.sh"

cd "$work"
make_test_certificate
echo wrong >wrong_password

sign() { # FILE PASSWORD_FILE
    "$cmake" -DOSSLSIGNCODE="$osslsigncode" -DFILE="$1" -DPFX="$work/signer.pfx" -DPASSWORD_FILE="$work/$2" \
        -P "$sign_script" >"$work/sign.log" 2>&1
}
verify() { "$osslsigncode" verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }

# Puts a different byte in the middle of FILE.
alter() {
    local file=$1 offset byte
    offset=$(($(stat -c %s "$file") / 2))
    byte=$(od -An -tu1 -j "$offset" -N1 "$file" | tr -d ' ')
    printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

for original in "$dll" "$msi"; do
    name=$(basename "$original")
    cp "$original" "unsigned-$name"
    if verify "unsigned-$name"; then fail "$name verifies before it is signed"; fi

    cp "$original" "$name"
    sign "$name" wrong_password && fail "$name was signed with a wrong password"
    cmp -s "$original" "$name" || fail "a failed signing changed $name"

    sign "$name" password || fail "signing $name failed: $(cat sign.log)"
    verify "$name" || fail "$name does not verify: $(cat verify.log)"
    grep -q 'Signature verification: ok' verify.log || fail "$name: no verified signature: $(cat verify.log)"
    grep -q 'Message digest algorithm *: SHA256' verify.log || fail "$name is not signed with SHA-256"
    grep -q 'Text description: Quorvane Email History$' verify.log || fail "$name lacks the description"

    alter "$name"
    if verify "$name"; then fail "$name verifies after it was altered"; fi
    echo "$name: signed, verified; unsigned and altered copies refused"
done
