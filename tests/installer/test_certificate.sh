# Sourced by the signing tests: makes a throw-away self-signed code-signing certificate in the
# current folder, as signer.pfx with its password in the file "password".
make_test_certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
        -subj "/CN=Quorvane Test Code Signing" -addext "keyUsage=digitalSignature" \
        -addext "extendedKeyUsage=codeSigning" 2>/dev/null || fail "openssl cannot make the certificate"
    head -c 24 /dev/urandom | base64 | tr -d '\n' >password
    openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.pfx -passout file:password ||
        fail "openssl cannot make the PKCS#12 file"
}
