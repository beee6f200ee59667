#!/usr/bin/env bash
# The benchmark report: builds and runs every benchmark of the add-in under each architecture
# this machine's Wine can run, and prints one table per architecture: each measure's median and
# spread (fastest to slowest), set against Outlook's budget for add-ins (1000 ms start-up, 500 ms
# item open, 500 ms shutdown) or, for the trace, against the same file operations done by a bare
# loop in the same run, and for the journal against the figures it is built to stay under. Each program's full output is kept in BUILD_DIR/<arch>/bench/.
# Usage: scripts/bench.sh   (ARCH=x86 or ARCH=x64 runs one architecture; BUILD_DIR overrides
# the build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
source "$root/scripts/wine-arch.sh"

bash "$root/scripts/bootstrap.sh" >/dev/null

benches=(startup_bench window_bench forward_bench commands_bench trace_bench journal_bench logged_messages_bench)
arches=()
if [ -n "${ARCH:-}" ]; then
    arches=("$ARCH")
else
    for arch in x64 x86; do
        if wine_runs "$arch"; then arches+=("$arch"); else echo "($arch not measured: $WINE_REASON)"; fi
    done
fi
[ ${#arches[@]} -gt 0 ] || { echo "bench.sh: no Wine can run on this machine" >&2; exit 1; }

# The table of one architecture from the rows its programs printed:
# BENCH|measure|median|fastest|slowest|budget or ceiling|reference ms|reference name
table() {
    awk -F'|' '
        function ms(v) {
            if (v == int(v)) return sprintf("%d", v)
            if (v < 0.01) return sprintf("%.4f", v)
            if (v < 1) return sprintf("%.3f", v)
            if (v < 10) return sprintf("%.2f", v)
            return sprintf("%.1f", v)
        }
        function share(p) { return p < 0.01 ? sprintf("%.4f%%", p) : p < 1 ? sprintf("%.3f%%", p) : sprintf("%.2f%%", p) }
        BEGIN {
            print "| measure | median | spread | against | ratio |"
            print "|---|---:|---:|---|---:|"
        }
        $1 == "BENCH" {
            if ($6 == "budget") {
                against = "Outlook'\''s " $8 " budget, " ms($7) " ms"
                ratio = share(100 * $3 / $7)
            } else {
                against = $8 ", " ms($7) " ms"
                ratio = sprintf("%.2f×", $3 / $7)
            }
            printf "| %s | %s ms | %s to %s ms | %s | %s |\n", $2, ms($3), ms($4), ms($5), against, ratio
        }' "$1"
}

cpu=$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //' || true)
reports=()
for arch in "${arches[@]}"; do
    if ! wine_runs "$arch"; then
        echo "bench.sh: $WINE_REASON" >&2
        exit 1
    fi
    b="$build/$arch"
    echo "== Building the $arch benchmarks in $b"
    bash "$root/scripts/build.sh" "$arch" "$b" "${benches[@]}" >/dev/null
    bash "$root/scripts/wine-prefix.sh" "$b" >/dev/null
    export WINEPREFIX="$b/wineprefix"
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p </dev/null >/dev/null 2>&1
    "$b/wine-run.sh" "$b/bin/version_probe.exe" </dev/null >/dev/null 2>&1 || true
    mkdir -p "$b/bench"
    rows="$b/bench/rows.txt"
    : >"$rows"
    for bench in "${benches[@]}"; do
        echo "== $arch: $bench"
        if ! "$b/wine-run.sh" "$b/bin/$bench.exe" </dev/null >"$b/bench/$bench.txt" 2>"$b/bench/$bench.err"; then
            wineserver -k 2>/dev/null || true
            echo "bench.sh: $bench failed under $arch:" >&2
            cat "$b/bench/$bench.txt" >&2
            exit 1
        fi
        grep -v '^BENCH|' "$b/bench/$bench.txt" | tr -d '\r' | sed 's/^/   /'
        grep '^BENCH|' "$b/bench/$bench.txt" | tr -d '\r' >>"$rows"
    done
    wineserver -k 2>/dev/null || true
    unset WINEPREFIX
    bits=64
    [ "$arch" = x86 ] && bits=32
    reports+=("$(printf '%s-bit add-in (%s) under %s, %s, %s cores%s:\n\n%s' "$bits" "$arch" \
        "$("$(wine_loader "$arch")" --version 2>/dev/null)" "$(date +%Y-%m-%d)" "$(nproc)" \
        "${cpu:+ ($cpu)}" "$(table "$rows")")")
done

echo
echo "== Benchmark report"
for report in "${reports[@]}"; do
    echo
    echo "$report"
done
