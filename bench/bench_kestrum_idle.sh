#!/usr/bin/env bash
# Kestrum's cost while it waits for the alarm: CPU time over a minute (the
# nanoseconds every thread of the process spent running, from
# /proc/<pid>/task/*/schedstat; the tick counts of /proc/<pid>/stat are too
# coarse for a program that runs a few milliseconds a second) and resident memory (VmRSS, and its peak VmHWM), on
# a virtual X display with a notification area (Xvfb + trayer), with the
# player control created from the library. Two runs: the window shown (its
# clock repainted every half second) and the program hidden in the
# notification area. Goals: under 0.2 % of one core and under 60 MB
# resident.
#
#   bench/bench_kestrum_idle.sh [build folder] [seconds]     (default build/, 60)
#
# Needs Xvfb and trayer (Debian: xvfb, trayer). The program runs from a
# copy in a temporary folder, so the build's Kestrum.conf is left alone.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-60}
settle=5

for tool in Xvfb trayer; do
    command -v "$tool" >/dev/null || { echo "bench_kestrum_idle: $tool is missing" >&2; exit 1; }
done
[[ -x "$build/bin/Kestrum" ]] || { echo "bench_kestrum_idle: $build/bin/Kestrum is not built" >&2; exit 1; }

source "$root/bench/kestrum-bench-session.sh"
start_xvfb
DISPLAY=":$display" trayer --edge bottom --align right --height 24 >/dev/null 2>&1 &
pids+=($!)
sleep 1

prepare_program "$build"

# Nanoseconds that all threads of a process have run.
runtime() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{sum += $1} END {printf "%d", sum}'; }

# measure <label> <startInTray 0|1>
measure() {
    printf '1,01,AM\r\n10\r\n0\r\n0\r\n0\r\n0\r\n0\r\n%s\r\nWakie, Wakie !\r\nZorvin.mp3,Zorvin\r\n' "$2" \
        >"$work/program/Kestrum.conf"
    DISPLAY=":$display" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" \
        "$work/program/Kestrum" >"$work/kestrum.log" 2>&1 &
    local pid=$!
    sleep "$settle"
    kill -0 "$pid" 2>/dev/null || { echo "Kestrum ended early:"; cat "$work/kestrum.log"; exit 1; }
    local before after
    before=$(runtime "$pid")
    sleep "$seconds"
    after=$(runtime "$pid")
    local rss hwm
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
    kill -TERM "$pid"
    wait "$pid" || true
    awk -v label="$1" -v used=$((after - before)) -v seconds="$seconds" -v rss="$rss" -v hwm="$hwm" 'BEGIN {
        cpu = 100 * used / 1e9 / seconds
        printf "%-28s CPU %.3f %% of one core (%.0f ms in %d s)   resident %.1f MB (peak %.1f MB)   %s\n",
               label, cpu, used / 1e6, seconds, rss / 1024, hwm / 1024,
               (cpu < 0.2 && rss / 1024 < 60) ? "goals met" : "GOAL MISSED"
    }'
}

echo "Kestrum idle for $seconds s on Xvfb :$display with trayer ($(nproc) cores)"
measure "window shown" 0
measure "in the notification area" 1
