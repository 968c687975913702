#!/usr/bin/env bash
# On sway (headless, with Xwayland): she is neither tiled nor framed but stands at her saved
# place in exactly her outline, the balloon comes beside her, a drag moves her and the place
# is kept.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib_wayland.sh"
start_sway
check_look
read -r w h < <(DISPLAY=$XW xdotool getwindowgeometry --shell "$win" | awk -F= '/WIDTH/{w=$2} /HEIGHT/{h=$2} END{print w, h}')
[ "$w $h" = "201 191" ] || fail "her window is ${w}x$h, not her picture's size"
check_balloon
check_drag
echo "ok: tiling_sway"
