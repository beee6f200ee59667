#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, for this machine with clang's libFuzzer) and runs each for a
# while against its seed corpus; not part of scripts/test.sh, which it would hold up for minutes.
# Installs clang and its runtime libraries when they are missing (as root).
# Usage: scripts/fuzz.sh [TARGET...]   (default: every target)
#   FUZZ_SECONDS: seconds per target (default 60); BUILD_DIR: the build folder (default ./build/fuzz).
# Prints per target the runs executed and whether it crashed; exits non-zero when one did. A
# crashing input is kept in the build folder (crash-*), and replays with `BUILD_DIR/TARGET FILE`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-60}
all=(logon_reply_fuzz form_body_fuzz trace_trim_fuzz rfc822_date_fuzz header_line_fuzz)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

missing=()
for p in clang libclang-rt-14-dev; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then missing+=("$p"); fi
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "fuzz.sh: ${missing[*]} missing; run as root (or through sudo) to install them" >&2
        exit 1
    fi
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${build_targets[@]}"

crashed=0
for t in "${targets[@]}"; do
    # The tree's seeds stay as they are: the fuzzer adds what it finds to a corpus of its own.
    corpus=$build/corpus/$t
    mkdir -p "$corpus"
    log=$build/$t.log
    set +e
    (cd "$build" && "./$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/$t-" \
        "$corpus" "$root/fuzz/corpus/$t") >"$log" 2>&1
    status=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    if [ $status -eq 0 ]; then
        printf '%-18s %12s runs in %ss, no crash\n' "$t" "${runs:-?}" "$seconds"
    else
        crashed=1
        printf '%-18s %12s runs, CRASHED (exit %d): see %s\n' "$t" "${runs:-?}" "$status" "$log"
        grep -m3 -E 'ERROR|invariant broken|runtime error|Test unit written' "$log" | sed 's/^/    /' || true
    fi
done
exit $crashed
