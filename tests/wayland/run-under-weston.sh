#!/usr/bin/env bash
# Runs a test program as a client of a headless Wayland compositor (weston)
# through Qt's wayland platform plugin, in a runtime folder of its own.
#
#   run-under-weston.sh <program> [<arguments>...]
#
# Exits with 77 (skipped) when weston is missing or does not start, and
# otherwise with the program's exit code.
set -euo pipefail

command -v weston >/dev/null || { echo "SKIPPED: weston is not installed (scripts/debian-packages-tests.txt)"; exit 77; }
runtime=$(mktemp -d /tmp/kestrum-wayland.XXXXXX)
chmod 700 "$runtime"
socket=kestrum-test
compositor=
cleanup() {
    [[ -n "$compositor" ]] && kill "$compositor" 2>/dev/null && wait "$compositor" 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT

XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --socket="$socket" --idle-time=0 \
    >"$runtime/weston.log" 2>&1 &
compositor=$!
for ((i = 0; i < 100; ++i)); do
    [[ -S "$runtime/$socket" ]] && break
    kill -0 "$compositor" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -S "$runtime/$socket" ]]; then
    echo "SKIPPED: weston does not start here:"
    cat "$runtime/weston.log"
    exit 77
fi

# Under LeakSanitizer, what the wayland plugin leaves at exit is not reported.
# Mesa's driver is unloaded before the leak check; the slow unwinder still
# finds the Qt frames of its allocation, which the suppressions name.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0
env XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
    KESTRUM_EXPECT_PLATFORM=wayland \
    LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan-suppressions.txt:print_suppressions=0:fast_unwind_on_malloc=0" \
    "$@" || status=$?
exit "$status"
