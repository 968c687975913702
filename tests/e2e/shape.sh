#!/usr/bin/env bash
# The running character window's X shape is the mask file's region; the mask is made once and
# reused; points outside the outline belong to the window below.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(app_dir 1)
cd "$app"

"$NAGOMI" 2>"$WORK/stderr1" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
[ -f pikprsn.bmp.msk ] || fail "mask file not generated"
[ -f pikprsn.msk ] && fail "mask file under the wrong name"
"$TOOLS/shape_probe" mask pikprsn.bmp.msk >"$WORK/mask.txt"
"$TOOLS/shape_probe" window "$win" >"$WORK/window.txt"
[ "$(wc -l <"$WORK/mask.txt")" -gt 2 ] || fail "mask suspiciously small"
diff -q "$WORK/mask.txt" "$WORK/window.txt" >/dev/null || {
    diff "$WORK/mask.txt" "$WORK/window.txt" | head
    fail "window shape differs from the mask"
}

# Column 0 is never part of the outline: the pointer there is over the root window.
read -r wx wy < <(window_pos "$win")
xdotool mousemove "$wx" "$((wy + 5))"
sleep 0.1
eval "$(xdotool getmouselocation --shell)"
[ "$WINDOW" != "$win" ] || fail "point outside the outline hit the character window"
read -r ix iy < <(inner_point pikprsn.bmp.msk)
xdotool mousemove "$((wx + ix))" "$((wy + iy))"
sleep 0.1
eval "$(xdotool getmouselocation --shell)"
[ "$WINDOW" = "$win" ] || fail "point inside the outline missed the character window"

kill -TERM "$pid"
wait_exit "$pid"

# A second start reuses the mask file as it is.
before=$(stat -c '%i %Y' pikprsn.bmp.msk)
sleep 1
"$NAGOMI" 2>"$WORK/stderr2" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
[ "$(stat -c '%i %Y' pikprsn.bmp.msk)" = "$before" ] || fail "mask file regenerated"
"$TOOLS/shape_probe" window "$win" >"$WORK/window2.txt"
cmp -s "$WORK/mask.txt" "$WORK/window2.txt" || fail "second start has another shape"
kill -TERM "$pid"
wait_exit "$pid"
echo "ok: shape"
