# Sourced by the Kestrum benchmarks: a scratch folder ($work) and the list of
# processes they start ($pids), both cleaned up on exit, and a virtual X
# display. Needs Xvfb.

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb on a free display number and sets $display to it.
start_xvfb() {
    display=90
    while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
}

# A copy of the program of build folder $1 in $work/program, with its own
# runtime and configuration folders; the player is created by ProgID from
# the library of that build.
prepare_program() {
    mkdir -p "$work/program" "$work/run" "$work/config"
    chmod 700 "$work/run"
    cp "$1/bin/Kestrum" "$1/bin/Zorvin.mp3" "$work/program/"
    XDG_CONFIG_HOME="$work/config" "$1/bin/tarnel-register" "$1/lib/libTarnelMP3.so" >/dev/null
}
