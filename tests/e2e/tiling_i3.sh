#!/usr/bin/env bash
# Under i3 on Xvfb: she is neither tiled nor framed but stands at her saved place in exactly
# her outline, the balloon comes beside her, a drag moves her and the place is kept.
source "$(dirname "$0")/lib.sh"
start_xvfb
start_i3
source "$(dirname "$0")/lib_wayland.sh"
XW=$DISPLAY
WL=""
BLACK_DESKTOP=1 check_look
read -r w h < <(xdotool getwindowgeometry --shell "$win" | awk -F= '/WIDTH/{w=$2} /HEIGHT/{h=$2} END{print w, h}')
[ "$w $h" = "201 191" ] || fail "her window is ${w}x$h, not her picture's size"
i3-msg -t get_tree | grep -q '"type":"floating_con"' || fail "i3 does not float her"
check_balloon
check_drag
echo "ok: tiling_i3"
