#!/usr/bin/env bash
# The icon on a StatusNotifierItem host (gtk-sni-tray-standalone, with its own watcher) on a
# private session bus: a host started after her shows the icon, a right press gives her menu
# drawn by the host and its items run her commands, a left click brings her back from
# "ないない", a restarted host shows the icon again, and a host started before her shows it at
# once.
if [ -z "${NAGOMI_SESSION_BUS:-}" ]; then
    exec env NAGOMI_SESSION_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib_tray.sh"
start_xvfb
app=$(app_dir 1)
cp "$DATA/fukidasi.bmp" "$app/"
cd "$app"
write_ini 'isLog=1\r\nTop=300\r\nLeft=700\r\nShowCalender=0\r\n'
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }

host=""
start_host() {
    start_sni_host
    host=$SNI_HOST
}
stop_host() {
    kill "$host"
    wait "$host" 2>/dev/null || true
}

# Host after her: no icon until the host comes, then the icon.
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
sleep 0.5
start_host
wait_sni_icon "$pid"

# Her menu, from the host: "ないない" (second from the end) hides her.
sni_menu Up Up Return
sleep 0.5
viewable "$win" && fail "ないない from the host's menu left her shown"
[ -s piklog.txt ] || fail "no log"

# A left click on the icon brings her back, as the double-click does on other trays.
xdotool mousemove "$ix" "$iy"
sleep 0.2
xdotool click 1
sleep 0.5
viewable "$win" || fail "a left click on the icon did not bring her back"

# The host restarts: the icon comes back.
stop_host
sleep 0.5
start_host
wait_sni_icon "$pid"

# "おしまい。" from the host's menu ends her the orderly way.
sni_menu Up Return
wait_exit "$pid"
grep -q $'^Top=300\r$' pikmain.ini || fail "settings not written at おしまい。"
iconv -f CP932 -t UTF-8 piklog.txt | tail -n 1 | grep -q 'ぴこぷる終了します．' || fail "no end line"

# Host before her: the icon at once; it leaves the host when she ends.
"$NAGOMI" 2>>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
wait_window Mainform >/dev/null
wait_sni_icon "$pid"
kill -TERM "$pid"
wait_exit "$pid"
sleep 0.3
sni_items | grep -qx "StatusNotifierItem-$pid" && fail "her item stayed with the watcher after she ended"
echo "ok: tray_sni"
