#!/usr/bin/env bash
# Kestrum installed as a Linux desktop program and tried as a new user
# would: built as the run command builds it, in a build folder of its own;
# installed twice into a temporary prefix (the settings beside the program
# are kept); its desktop entry validated and run from an empty PATH; then
# started by a user who may not write the prefix, with an empty
# XDG_CONFIG_HOME and a faked clock, the alarm armed from the keyboard and
# its tune heard through SDL's disk driver; ended, its settings found in the
# user's configuration folder; and once more after the build folder is gone.
#
#   installed-kestrum.sh <source folder> [<generator>]
#
# Needs root (to act as a user who cannot write the prefix), setpriv,
# faketime, Xvfb, xdotool and desktop-file-validate; exits with 77 (skipped)
# when one is missing.
set -euo pipefail
source_dir=$(cd "$1" && pwd)
generator=${2:-Ninja}
user=1001

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
[[ $(id -u) -eq 0 ]] || skip "needs root, to start Kestrum as a user who may not write the prefix"
for tool in setpriv Xvfb xdotool desktop-file-validate; do
    command -v "$tool" >/dev/null || skip "needs $tool (scripts/debian-packages-tests.txt)"
done
# The library itself rather than the faketime command, which would stand
# between the test and Kestrum and take the signal that ends it.
faketime_library=
for candidate in /usr/lib/*/faketime/libfaketime.so.1 /usr/lib/faketime/libfaketime.so.1; do
    [[ -f "$candidate" ]] && faketime_library=$candidate && break
done
[[ -n "$faketime_library" ]] || skip "needs libfaketime (the Debian package faketime)"

work=$(mktemp -d /tmp/kestrum-installed.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

build="$work/build"
prefix="$work/prefix with space"
home="$work/home"
config="$home/config"
runtime="$work/runtime"
mkdir -p "$config" "$runtime"
chown -R "$user:$user" "$home" "$runtime"
chmod 700 "$runtime"

# A command run as the user, in an environment of its own. An array, not a
# function: started in the background, its process is the command itself,
# so that a signal sent to it reaches the program.
as_user=(setpriv --reuid="$user" --regid="$user" --clear-groups
    env -i HOME="$home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$runtime" PATH=/usr/bin:/bin)

# --- Built as the run command builds it ----------------------------------
echo "== building in $build"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$work"
fi
cmake -S "$source_dir" -B "$build" -G "$generator" -DCMAKE_BUILD_TYPE=None \
    -DKESTRUM_BUILD_TESTS=OFF -DKESTRUM_BUILD_BENCHMARKS=OFF -DKESTRUM_BUILD_DESIGNER_PLUGIN=OFF \
    -DKESTRUM_BUILD_EXAMPLES=OFF -DKESTRUM_BUILD_SBMP3=OFF "${launcher[@]}" >"$work/configure.log" ||
    { cat "$work/configure.log"; fail "configuring"; }
cmake --build "$build" --target kestrum_runnable >"$work/build.log" || { tail -50 "$work/build.log"; fail "building"; }

# --- Installed twice: the settings beside the program stay ---------------
echo "== installing into $prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install1.log"
conf="$prefix/bin/Kestrum.conf"
cmp "$conf" "$source_dir/alarm_clock/Kestrum.conf" || fail "the shipped Kestrum.conf was not installed"
# Someone who may write the prefix changed the settings.
printf '6,30,AM\r\n5\r\n0\r\n0\r\n0\r\n1\r\n0\r\n0\r\nRise and shine\r\nZorvin.mp3,Zorvin\r\n' >"$conf"
cp "$conf" "$work/changed.conf"
cmake --install "$build" --prefix "$prefix" >"$work/install2.log"
cmp "$conf" "$work/changed.conf" || fail "a second install replaced Kestrum.conf"
grep -q "Keeping: $conf" "$work/install2.log" || fail "the install did not say that it kept Kestrum.conf"

# The machine-wide store names the installed library, and everyone reads it.
store="$prefix/share/tarnel-platform/registry.ini"
grep -qF "\"Library\"=sz:\"$prefix/lib/libTarnelMP3.so.1\"" "$store" || { cat "$store"; fail "no machine-wide record"; }
[[ $(stat -c %a "$store") == 644 ]] || fail "the machine-wide store is not readable by every user"
if grep -q "$build" "$store" "$prefix/share/applications/kestrum.desktop"; then
    fail "an installed file names the build folder"
fi

# A staged install (DESTDIR) records the final paths.
DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/kestrum-staged >"$work/install-staged.log"
grep -qF '"Library"=sz:"/opt/kestrum-staged/lib/libTarnelMP3.so.1"' \
    "$work/stage/opt/kestrum-staged/share/tarnel-platform/registry.ini" || fail "the staged record names the staging folder"
grep -qx 'Exec=/opt/kestrum-staged/bin/Kestrum' "$work/stage/opt/kestrum-staged/share/applications/kestrum.desktop" ||
    fail "the staged desktop entry does not run /opt/kestrum-staged/bin/Kestrum"
[[ ! -e /opt/kestrum-staged ]] || fail "a staged install wrote outside DESTDIR"

# --- The desktop entry ----------------------------------------------------
entry="$prefix/share/applications/kestrum.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
grep -qx 'Icon=kestrum' "$entry" && [[ -f "$prefix/share/icons/hicolor/48x48/apps/kestrum.png" ]] ||
    fail "the entry's icon is not installed"
exec_value=$(sed -n 's/^Exec=//p' "$entry")
# The value is a string of the entry (\\ for \), then arguments quoted as
# the Desktop Entry rules say, which a POSIX shell reads the same way.
exec_value=${exec_value//\\\\/\\}
eval "set -- $exec_value"
[[ $# -eq 1 && "$1" == "$prefix/bin/Kestrum" ]] || fail "Exec runs '$*', not the installed program"

wait_for_lock() {
    local i
    for ((i = 0; i < 150; ++i)); do
        [[ -e "$runtime/Kestrum.lock" ]] && return 0
        sleep 0.1
    done
    return 1
}
setpriv --reuid="$user" --regid="$user" --clear-groups \
    env -i HOME="$home" XDG_CONFIG_HOME="$home/entry-config" XDG_RUNTIME_DIR="$runtime" PATH= \
    QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$@" >"$work/entry.log" 2>&1 &
pids+=($!)
wait_for_lock || { cat "$work/entry.log"; fail "the entry's Exec did not start Kestrum from an empty PATH"; }
sleep 0.5
kill -TERM "${pids[-1]}"
wait "${pids[-1]}" || fail "Kestrum started by the entry did not end cleanly"

# --- A user who may not write the prefix ---------------------------------
if "${as_user[@]}" touch "$prefix/bin/probe" 2>/dev/null; then
    fail "user $user may write the prefix"
fi
if "${as_user[@]}" "$prefix/bin/tarnel-register" --machine "$prefix/lib/libTarnelMP3.so.1" >"$work/denied.log" 2>&1; then
    fail "user $user changed the machine-wide store"
fi
grep -q "registry error 5" "$work/denied.log" || { cat "$work/denied.log"; fail "the refusal does not say why"; }

display_fd="$work/display"
setpriv --reuid="$user" --regid="$user" --clear-groups \
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_fd" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for ((i = 0; i < 100; ++i)); do
    [[ -s "$display_fd" ]] && break
    sleep 0.1
done
display=":$(cat "$display_fd")"
[[ "$display" != ":" ]] || skip "Xvfb does not start: $(cat "$work/xvfb.log")"

# One alarm: Kestrum started at 6:29:40 by the faked clock, the alarm at 6:30
# armed with the keyboard (the focus sits on Snooze; two steps back is the
# toggle), the tune heard, then Kestrum ended as the session ends it.
#   ring <file heard> <name> <command that starts Kestrum...>
ring() {
    local heard=$1 name=$2
    shift 2
    : >"$heard"
    chown "$user" "$heard"
    "${as_user[@]}" DISPLAY="$display" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$heard" \
        LD_PRELOAD="$faketime_library" FAKETIME='@2024-05-06 06:29:40' FAKETIME_DONT_FAKE_MONOTONIC=1 \
        QT_LOGGING_RULES='kestrum.debug=true;tarnel.*.debug=true' "$@" >"$work/$name.log" 2>&1 &
    local kestrum=$!
    pids+=("$kestrum")
    local window=
    for ((i = 0; i < 150; ++i)); do
        window=$("${as_user[@]}" DISPLAY="$display" xdotool search --onlyvisible --name '^Kestrum$' 2>/dev/null | head -1) || true
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    [[ -n "$window" ]] || { cat "$work/$name.log"; fail "$name: no window"; }
    sleep 1
    "${as_user[@]}" DISPLAY="$display" xdotool windowmove "$window" 0 0 mousemove 100 60 key shift+Tab shift+Tab space
    local sounding=0
    for ((i = 0; i < 60; ++i)); do
        sounding=$(tr -d '\000' <"$heard" | wc -c)
        ((sounding > 20000)) && break
        sleep 1
    done
    ((sounding > 20000)) || { cat "$work/$name.log"; fail "$name: the tune was not heard ($sounding sounding bytes)"; }
    kill -TERM "$kestrum"
    wait "$kestrum" || { cat "$work/$name.log"; fail "$name: Kestrum did not end cleanly"; }
    echo "$name: the tune was heard ($sounding sounding bytes)"
}

echo "== the first start, as user $user"
ring "$work/heard-1.raw" first-start "$prefix/bin/Kestrum"
saved="$config/Kestrum/Kestrum.conf"
[[ -f "$saved" && $(stat -c %u "$saved") -eq $user ]] || fail "the settings were not saved in $config/Kestrum"
head -c 9 "$saved" | cmp - <(printf '6,30,AM\r\n') || fail "the saved settings are not the shipped ones"
grep -qF "$prefix/bin/Zorvin.mp3,Zorvin"$'\r' "$saved" || fail "the saved tune line does not name the installed tune"
cmp "$conf" "$work/changed.conf" || fail "the shipped Kestrum.conf changed"

# The user once registered the library of the build folder for themselves.
"${as_user[@]}" "$build/bin/tarnel-register" "$build/lib/libTarnelMP3.so" >/dev/null
grep -qF "$build/lib/libTarnelMP3.so" "$config/tarnel-platform/registry.ini" || fail "no per-user record"

echo "== the build folder is deleted; started by its name through PATH"
rm -rf "$build"
ring "$work/heard-2.raw" after-build-deleted sh -c "cd / && PATH='$prefix/bin':/usr/bin:/bin exec Kestrum"
grep -q "the machine-wide record is used" "$work/after-build-deleted.log" ||
    { cat "$work/after-build-deleted.log"; fail "the user's record of the deleted library did not give way"; }
echo "PASSED"
