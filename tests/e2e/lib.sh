# Shared set-up of the end-to-end tests: a private Xvfb, a scratch folder, and helpers.
# Sourced by the test scripts; arguments: NAGOMI TOOLS_DIR DATA_DIR.
set -euo pipefail
NAGOMI=$(realpath "$1")
TOOLS=$(realpath "$2")
DATA=$(realpath "$3")
WORK=$(mktemp -d /tmp/nagomi-e2e.XXXXXX)
PIDS=()

cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    [ -f "${dove:-/nonexistent}/dovecot.log" ] && tail -n 5 "$dove/dovecot.log" >&2
    [ -f "$WORK/out" ] && cat "$WORK/out" >&2
    echo "FAIL: $*" >&2
    exit 1
}

start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.05
    done
    [ -s "$WORK/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$WORK/display")"
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

# Waits for a process to end by itself (bounded) and returns its status.
wait_exit() {
    local pid="$1"
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$pid" 2>/dev/null && fail "process $pid did not end"
    wait "$pid" || true
}

# An opaque point of the character: the centre of the widest rectangle of its mask.
inner_point() {
    "$TOOLS/shape_probe" mask "$1" |
        awk '{w=$3-$1; if (w>best) {best=w; x=int(($1+$3)/2); y=int(($2+$4)/2)}} END{print x, y}'
}

# A fresh app folder with the default character.
app_dir() {
    local d="$WORK/app$1"
    mkdir -p "$d"
    cp "$DATA/pikprsn.bmp" "$d/"
    echo "$d"
}

# Writes N numbered CR LF lines.
numbered_lines() {
    local i
    for ((i = 1; i <= $1; i++)); do printf 'line %d\r\n' "$i"; done
}
