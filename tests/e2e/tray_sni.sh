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
start_xvfb
app=$(app_dir 1)
cp "$DATA/fukidasi.bmp" "$app/"
cd "$app"
write_ini 'isLog=1\r\nTop=300\r\nLeft=700\r\nShowCalender=0\r\n'
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }

items() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null | grep -o 'StatusNotifierItem-[0-9]*' || true
}

host=""
start_host() {
    start_sni_host
    host=$SNI_HOST
}
stop_host() {
    kill "$host"
    wait "$host" 2>/dev/null || true
}

# Waits until the watcher lists her item and the host has drawn it in its bar (the bar is the
# 1280-wide window of the host at the bottom); sets ix iy to the icon's centre.
wait_icon() {
    local pid="$1" bar="" box=""
    for _ in $(seq 100); do
        items | grep -qx "StatusNotifierItem-$pid" && break
        sleep 0.1
    done
    items | grep -qx "StatusNotifierItem-$pid" || fail "the host does not list her item: $(items)"
    for _ in $(seq 50); do
        import -window root "$WORK/shot.png"
        box=$(convert "$WORK/shot.png" -crop 1280x32+0+992 +repage -bordercolor black -border 1 \
            -fuzz 2% -trim -format '%w %h %X %Y' info:)
        read -r bw bh bx by <<<"$box"
        [ "$bw" -ge 16 ] && [ "$bh" -ge 16 ] && break
        sleep 0.1
    done
    [ "$bw" -ge 16 ] && [ "$bh" -ge 16 ] || fail "no icon drawn in the host's bar ($box)"
    ix=$((bx - 1 + bw / 2))
    iy=$((992 + by - 1 + bh / 2))
}

# The host's menu: a visible window of the host taller than its bar.
wait_host_menu() {
    for _ in $(seq 40); do
        for w in $(xdotool search --onlyvisible --classname gtk-sni-tray-standalone 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            [ "$HEIGHT" -gt 100 ] && [ "$WIDTH" -lt 600 ] && return 0
        done
        sleep 0.05
    done
    fail "a right press on the icon opened no menu"
}

# A right press on the icon, then the keys that walk the menu the host draws.
host_menu() {
    xdotool mousemove "$ix" "$iy"
    sleep 0.2
    xdotool click 3
    wait_host_menu
    sleep 0.2
    xdotool key "$@"
}

# Host after her: no icon until the host comes, then the icon.
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
sleep 0.5
start_host
wait_icon "$pid"

# Her menu, from the host: "ないない" (second from the end) hides her.
host_menu Up Up Return
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
wait_icon "$pid"

# "おしまい。" from the host's menu ends her the orderly way.
host_menu Up Return
wait_exit "$pid"
grep -q $'^Top=300\r$' pikmain.ini || fail "settings not written at おしまい。"
iconv -f CP932 -t UTF-8 piklog.txt | tail -n 1 | grep -q 'ぴこぷる終了します．' || fail "no end line"

# Host before her: the icon at once; it leaves the host when she ends.
"$NAGOMI" 2>>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
wait_window Mainform >/dev/null
wait_icon "$pid"
kill -TERM "$pid"
wait_exit "$pid"
sleep 0.3
items | grep -qx "StatusNotifierItem-$pid" && fail "her item stayed with the watcher after she ended"
echo "ok: tray_sni"
