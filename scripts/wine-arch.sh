# Sourced: which architectures this machine's Wine can run, found by trying, never by guessing.
# wine_runs ARCH   returns 0 when Wine's loader for ARCH (x86 or x64) runs here; otherwise
#                  returns 1 with the reason in WINE_REASON.
# Some machines cannot execute 32-bit Linux programs at all ("Exec format error"): there only
# the 64-bit loader runs. Debian's `wine` wrapper prefers the 32-bit loader wherever it is
# installed, so each loader is called by its path.
WINE_REASON=
wine_loader() {
    case $1 in
        x86) echo /usr/lib/wine/wine ;;
        x64) echo /usr/lib/wine/wine64 ;;
    esac
}
wine_runs() {
    local loader output
    loader=$(wine_loader "$1")
    if [ ! -e "$loader" ]; then
        WINE_REASON="$loader is not installed"
        return 1
    fi
    # The loader is itself a small program of that architecture: running it is the test.
    if ! output=$("$loader" --version 2>&1 </dev/null); then
        # The shell's message, without its own "script: line N:" prefix.
        WINE_REASON="this machine cannot run $loader ($(echo "$output" | tail -n 1 | sed -E 's/^.*line [0-9]+: //'))"
        return 1
    fi
    return 0
}
