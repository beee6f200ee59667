#!/usr/bin/env bash
# Runs the README's main command, scripts/demo.sh, on this build (up to date by then, so its
# quiet build does nothing visible) and checks what the user reads: a line naming the build's log,
# then the story, no build output; the password never shown (the service double's copy of the
# logon request masked); the user's words ("the add-in let go of Outlook", "Send & Log"); the
# selection's summary, the list of logged messages, and signing out and in.
# Usage: demo_test.sh DEMO_SH BUILD_DIR ARCH   (BUILD_DIR holds the architecture's folder)
set -euo pipefail
demo=$1 build_dir=$2 arch=$3
fail() { echo "FAIL: $*"; echo "--- the demo's output:"; cat "$out"; exit 1; }
out=$(mktemp)
trap 'rm -f "$out"' EXIT

BUILD_DIR=$build_dir ARCH=$arch bash "$demo" >"$out" 2>&1 </dev/null || fail "scripts/demo.sh failed"
log="$build_dir/$arch/demo-build.log"
[ "$(head -n 1 "$out")" = "Building the $arch add-in in $build_dir/$arch (the build's output goes to $log)" ] ||
    fail "the first line does not name the build's log"
[ -s "$log" ] || fail "the build's log $log is empty"
if sed 1d "$out" | grep -E -n '^\[ *[0-9]+%\]|^-- |Built target|Building (C|CXX|RC)|Linking|Scanning dependencies|^make|ninja:|Performing .* step'; then
    fail "the demo prints build output"
fi
sed -n 3p "$out" | grep -q '^The service double answers at http://127\.0\.0\.1:' || fail "the story does not start at once"
for shown in 'demo password' 'demo+password' 'demo%20password'; do
    if grep -q -F "$shown" "$out"; then fail "the demo prints the password ($shown)"; fi
done
grep -q -F 'the service received the logon: ' "$out" || fail "the demo does not show the logon request"
grep -q -F 'password=********' "$out" || fail "the logon request is not shown with its password masked"
story=$(sed '/^The service.s logging agent received/,$d' "$out")
grep -q -F 'the add-in let go of Outlook' <<<"$story" || fail "the story does not say the add-in let go of Outlook"
grep -q -F 'Send & Log' <<<"$story" || fail "the story does not name \"Send & Log\""
if grep -q -F '&&' <<<"$story"; then fail "the story shows a caption's accelerator escape (&&)"; fi
grep -q -F 'Skipped: 2 (1 not mail, 1 already logged)' <<<"$story" || fail "the selection's summary is not shown"
grep -q -F 'lists 3 messages, newest first' <<<"$story" || fail "the list of logged messages is not shown"
grep -q -F 'without the add-in'"'"'s button: signed out' <<<"$story" || fail "signing out does not hide the button"
grep -q -F 'is back in the window' <<<"$story" || fail "signing in does not bring the button back"
echo "the demo shows the story alone, with the password masked, in the user's words"
