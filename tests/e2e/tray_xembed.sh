#!/usr/bin/env bash
# The icon on an XEmbed tray (trayer) that comes and goes, on a private session bus: a tray
# started after her docks the icon, a restarted tray docks it again and a double-click on it
# still brings her back; a StatusNotifierItem host that appears takes the icon off the tray
# (one icon, never two) and gives it back when it goes.
if [ -z "${NAGOMI_SESSION_BUS:-}" ]; then
    exec env NAGOMI_SESSION_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib_tray.sh"
start_xvfb
app=$(app_dir 1)
cd "$app"
write_ini 'Top=300\r\nLeft=700\r\nShowCalender=0\r\n'
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }

stop_tray() {
    kill "$tray"
    wait "$tray" 2>/dev/null || true
}
wait_undocked() {
    for _ in $(seq 200); do
        xembed_docked || return 0
        sleep 0.05
    done
    fail "$1"
}

"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
sleep 0.5
xembed_docked && fail "an icon docked with no tray running"

# Tray after her.
start_trayer
wait_xembed_docked "the icon did not dock in a tray started after her"

# Tray restarted: the icon docks again, and it still answers.
stop_tray
start_trayer
wait_xembed_docked "the icon did not dock again after the tray restarted"
# "ないない" from the icon's menu, then a double-click on the icon.
xembed_menu "$win" Up Up Return
for _ in $(seq 40); do
    viewable "$win" || break
    sleep 0.05
done
viewable "$win" && fail "ないない from the re-docked icon's menu left her shown"
xdotool click --repeat 2 --delay 80 1
for _ in $(seq 40); do
    viewable "$win" && break
    sleep 0.05
done
viewable "$win" || fail "a double-click on the re-docked icon did not bring her back"

# A StatusNotifierItem host comes: the icon leaves the tray for the host; the host goes: it
# docks in the tray again.
start_sni_host
host=$SNI_HOST
wait_undocked "the icon stayed in the tray beside the StatusNotifierItem host"
kill "$host"
wait "$host" 2>/dev/null || true
wait_xembed_docked "the icon did not come back to the tray when the host went"

kill -TERM "$pid"
wait_exit "$pid"
echo "ok: tray_xembed"
