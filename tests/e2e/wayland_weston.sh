#!/usr/bin/env bash
# On a Wayland session of weston (X11 backend on Xvfb, with Xwayland): she runs through
# Xwayland and shows exactly her outline; around it only the desktop and weston's own drop
# shadow (weston draws one behind every undecorated window), never a box.
source "$(dirname "$0")/lib.sh"
start_xvfb
source "$(dirname "$0")/lib_wayland.sh"
start_weston
ALLOW_DIMMED=1 check_look
kill -TERM "$pid"
wait_exit "$pid"
echo "ok: wayland_weston"
