#!/usr/bin/env bash
# Dragging a shaped window with the left button, without a window manager: the window follows
# the pointer and reports down, moves, then up with the press's button and position.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(app_dir 1)
cd "$app"

"$TOOLS/coolform_probe" pikprsn.bmp probe.msk 100 100 >>"$WORK/events" 2>"$WORK/stderr" &
PIDS+=($!)
win=$(wait_window coolform_probe)
read -r ix iy < <(inner_point probe.msk)
px=$((100 + ix))
py=$((100 + iy))

# Press, drag by (30, 20) in steps, release.
xdotool mousemove "$px" "$py"
sleep 0.2
xdotool mousedown 1
sleep 0.2
for step in 1 2 3; do
    xdotool mousemove "$((px + 10 * step))" "$((py + 7 * step - step / 3))"
    sleep 0.1
done
xdotool mouseup 1
sleep 0.3
read -r nx ny < <(window_pos "$win")
[ "$nx $ny" = "130 120" ] || fail "window at $nx $ny after the drag"
first=$(head -n1 "$WORK/events")
last=$(tail -n1 "$WORK/events")
[ "$first" = "down 1 $ix $iy 100 100" ] || fail "first event: $first"
[ "$last" = "up 1 $ix $iy 130 120" ] || fail "last event: $last"
middle=$(sed '1d;$d' "$WORK/events")
[ -n "$middle" ] || fail "no move reported during the drag"
grep -qv '^move ' <<<"$middle" && fail "unexpected events during the drag: $middle"

# A press and release without motion: one down, one up, no move.
: >"$WORK/events"
px=$((130 + ix))
py=$((120 + iy))
xdotool mousemove "$px" "$py"
sleep 0.2
xdotool mousedown 1
sleep 0.1
xdotool mouseup 1
sleep 0.3
[ "$(cat "$WORK/events")" = "down 1 $ix $iy 130 120
up 1 $ix $iy 130 120" ] || fail "click reported: $(cat "$WORK/events")"

# Another button starts no move: down and up come at once, while it is still held.
: >"$WORK/events"
xdotool mousedown 3
sleep 0.3
[ "$(cat "$WORK/events")" = "down 2 $ix $iy 130 120
up 2 $ix $iy 130 120" ] || fail "right press reported: $(cat "$WORK/events")"
xdotool mouseup 3
echo "ok: drag"
