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

check_drag
echo "ok: wayland_mutter"
