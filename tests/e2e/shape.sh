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

# A picture so detailed that its outline does not fit one request to the X server (a 1-pixel
# checkerboard, over two million rectangles): she starts, with exactly that outline, every time.
app=$(app_dir 2)
cd "$app"
convert -size 2100x2100 pattern:gray50 -type bilevel BMP3:big.bmp
write_ini 'PikImage=big.bmp\r\nShowCalender=0\r\n'
for run in 1 2; do
    "$NAGOMI" 2>"$WORK/stderr-big$run" &
    pid=$!
    PIDS+=($pid)
    win=$(wait_window Mainform)
    [ -f big.bmp.msk ] || fail "no mask for the big picture"
    "$TOOLS/shape_probe" mask big.bmp.msk >"$WORK/bigmask.txt"
    "$TOOLS/shape_probe" window "$win" >"$WORK/bigwindow.txt"
    [ "$(wc -l <"$WORK/bigmask.txt")" -gt 2000000 ] || fail "the big mask is not that big"
    cmp -s "$WORK/bigmask.txt" "$WORK/bigwindow.txt" || fail "start $run: the big outline differs"
    kill -0 "$pid" 2>/dev/null || fail "start $run: the program ended"
    kill -TERM "$pid"
    wait_exit "$pid"
done
echo "ok: shape"
