# Shared set-up of the end-to-end tests: a private Xvfb, a scratch folder, and helpers.
# Sourced by the test scripts; arguments: NAGOMI TOOLS_DIR DATA_DIR.
set -euo pipefail
NAGOMI=$(realpath "$1")
TOOLS=$(realpath "$2")
DATA=$(realpath "$3")
WORK=$(mktemp -d /tmp/nagomi-e2e.XXXXXX)
PIDS=()

cleanup() {
    local status=$?
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
    # Servers started through a script are no children of ours: wait for them too, so that the
    # next run finds their ports free.
    local _
    for p in "${PIDS[@]}"; do
        for _ in $(seq 100); do kill -0 "$p" 2>/dev/null || break; sleep 0.05; done
    done
    rm -rf "$WORK" 2>/dev/null || true
    exit "$status"
}
trap cleanup EXIT

fail() {
    [ -f "${dove:-/nonexistent}/dovecot.log" ] && tail -n 5 "$dove/dovecot.log" >&2
    [ -f "$WORK/out" ] && cat "$WORK/out" >&2
    echo "FAIL: $*" >&2
    exit 1
}

start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$WORK/display" >/dev/null 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.05
    done
    [ -s "$WORK/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$WORK/display")"
}

# A window manager NAME (the command line after it) on the test's display, once it manages
# windows.
start_wm() {
    local name="$1"
    shift
    HOME="$WORK" "$@" >"$WORK/$name.log" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.05
    done
    fail "$name did not start"
}

start_openbox() {
    start_wm openbox openbox --sm-disable
}

# i3 with no bar.
start_i3() {
    printf 'font pango:monospace 8\n' >"$WORK/i3.conf"
    start_wm i3 i3 -c "$WORK/i3.conf"
}

# Starts her in the background with her wall clock (hers only) starting at TIME (UTC), stderr to
# FILE; `pid` is her process. libfaketime is preloaded here rather than through faketime(1),
# which would stand between this shell and her process and keep signals from her. It is no
# sanitizer runtime: the sanitizer build would refuse to start behind it unless told not to mind.
start_her_at() {
    local lib="" f
    for f in /usr/lib/*/faketime/libfaketime.so.1; do [ -e "$f" ] && lib=$f; done
    [ -n "$lib" ] || fail "libfaketime is not installed"
    TZ=UTC LD_PRELOAD="$lib" FAKETIME="@$1" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
        "$NAGOMI" 2>"$2" &
    pid=$!
    PIDS+=($pid)
}

# Waits until a window with exactly this name is viewable and prints its id.
wait_window() {
    local name="$1" id=""
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && break
        sleep 0.05
    done
    [ -n "$id" ] || fail "window $name did not appear"
    echo "$id"
}

# Prints X Y of the window's top-left corner.
window_pos() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'
}

# Waits for a process to end by itself (bounded) and sets status to its exit status; $2 names
# it in the failure. (Not through $(...): only this shell can wait for its children.)
wait_status() {
    local pid="$1"
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$pid" 2>/dev/null && fail "${2:-process $pid} did not end"
    status=0
    wait "$pid" || status=$?
}

# Waits for a process to end by itself (bounded), whatever its status.
wait_exit() {
    wait_status "$1"
}

# Waits until one of her menus shows: a window of hers other than her window $1, of a menu's
# height; fails with $2 when none comes.
wait_her_menu() {
    local w
    for _ in $(seq 60); do
        for w in $(xdotool search --onlyvisible --classname nagomi 2>/dev/null); do
            [ "$w" = "$1" ] && continue
            eval "$(xdotool getwindowgeometry --shell "$w")"
            [ "$HEIGHT" -gt 60 ] && [ "$HEIGHT" -lt 400 ] && return 0
        done
        sleep 0.05
    done
    fail "$2"
}

# An opaque point of the character: the centre of the widest rectangle of its mask.
inner_point() {
    "$TOOLS/shape_probe" mask "$1" |
        awk '{w=$3-$1; if (w>best) {best=w; x=int(($1+$3)/2); y=int(($2+$4)/2)}} END{print x, y}'
}

# A fresh app folder with the default character, and settings with the hourly time signal off.
app_dir() {
    local d="$WORK/app$1"
    mkdir -p "$d"
    cp "$DATA/pikprsn.bmp" "$d/"
    (cd "$d" && write_ini '')
    echo "$d"
}

# Writes ./pikmain.ini: the lines of the printf format $1, then the hourly time signal off. A
# run that starts within the first minute of an hour would otherwise hear the signal: lines in
# the log and a balloon beside her that the test did not ask for.
write_ini() {
    # shellcheck disable=SC2059
    printf "$1" >pikmain.ini
    printf 'Oclock=0\r\n' >>pikmain.ini
}

# Writes N numbered CR LF lines.
numbered_lines() {
    local i
    for ((i = 1; i <= $1; i++)); do printf 'line %d\r\n' "$i"; done
}

# Records the monitor of sink $1 into $WORK/rec.raw (s16le, 44.1 kHz, stereo) from now on;
# `parec` is the recorder.
record_sink() {
    parec --device="$1.monitor" --latency-msec=20 --format=s16le --rate=44100 \
        --channels=2 --raw "$WORK/rec.raw" &
    parec=$!
    PIDS+=($parec)
    sleep 0.5
}

# A private PulseAudio with a null sink NAME, and a silent stream that keeps the sink running
# so that a recorder on NAME.monitor gets every sample on the wall clock.
start_pulse() {
    local sink="$1"
    export XDG_RUNTIME_DIR="$WORK" HOME="$WORK"
    pulseaudio --daemonize=no -n --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --load="module-null-sink sink_name=$sink" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$WORK/pulse.sock" \
        >"$WORK/pulse.log" 2>&1 &
    PIDS+=($!)
    export PULSE_SERVER="unix:$WORK/pulse.sock"
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
    pactl info >/dev/null 2>&1 || fail "PulseAudio did not start"
    pacat --playback --device="$sink" --raw --format=s16le --rate=44100 --channels=2 \
        --latency-msec=20 </dev/zero 2>/dev/null &
    PIDS+=($!)
    sleep 0.3
}

# Starts the StatusNotifierItem host (with its own watcher) on the session bus and sets
# SNI_HOST to its pid. The host has a start-up race of its own: it may ask its watcher before
# the watcher serves its object, and then exits on the error a moment after the watcher's name
# appeared. Such a start is not what is under test, so it is tried again.
start_sni_host() {
    local try
    for try in 1 2 3 4 5; do
        gtk-sni-tray-standalone --watcher --bottom --end -s 32 >"$WORK/host.log" 2>&1 &
        SNI_HOST=$!
        PIDS+=($SNI_HOST)
        for _ in $(seq 200); do
            sni_watcher_up && break
            kill -0 "$SNI_HOST" 2>/dev/null || break
            sleep 0.05
        done
        sleep 1
        kill -0 "$SNI_HOST" 2>/dev/null && sni_watcher_up && return 0
        echo "the tray host ended during its start ($(tail -n1 "$WORK/host.log")); again" >&2
        wait "$SNI_HOST" 2>/dev/null || true
    done
    fail "the tray host did not stay up"
}

sni_watcher_up() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher 2>/dev/null |
        grep -q 'boolean true'
}
