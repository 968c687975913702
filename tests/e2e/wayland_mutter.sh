#!/usr/bin/env bash
# On a Wayland session of GNOME's compositor (nested on Xvfb, with Xwayland): she runs through
# Xwayland, shows exactly her outline with the desktop around it, the balloon comes beside
# her, and a drag moves her on the screen without a word.
if [ -z "${NAGOMI_SESSION_BUS:-}" ]; then
    exec env NAGOMI_SESSION_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
start_xvfb
source "$(dirname "$0")/lib_wayland.sh"
start_mutter
check_look
check_balloon

lines=$(wc -l <piklog.txt)
px=$((700 + ix))
py=$((300 + iy))
DISPLAY=$XV xdotool mousemove "$px" "$py"
sleep 0.2
DISPLAY=$XV xdotool mousedown 1
sleep 0.2
for step in 1 2 3 4; do
    DISPLAY=$XV xdotool mousemove "$((px + 10 * step))" "$((py + 5 * step))"
    sleep 0.1
done
DISPLAY=$XV xdotool mouseup 1
sleep 0.1
DISPLAY=$XV xdotool mousemove 1279 1023 # the pointer off her picture for the screenshot
read -r _ inside _ differ _ outside _ same _ dimmed _ other < <(
    wait_outline "$deskshot" pikprsn.bmp pikprsn.bmp.msk 740 320)
[ "$differ" = 0 ] && [ "$other" = 0 ] && [ "$dimmed" = 0 ] ||
    fail "after the drag she is not shown at 740,320 ($differ differ, $other other, $dimmed dimmed)"
read -r wx wy < <(DISPLAY=$XW window_pos "$win")
[ "$wx $wy" = "740 320" ] || fail "she thinks she is at $wx $wy after the drag"
sleep 1.2
[ "$(wc -l <piklog.txt)" = "$lines" ] || fail "the drag spoke"
kill -TERM "$pid"
wait_exit "$pid"
grep -q $'^Top=320\r$' pikmain.ini && grep -q $'^Left=740\r$' pikmain.ini ||
    fail "the place after the drag was not kept"
echo "ok: wayland_mutter"
