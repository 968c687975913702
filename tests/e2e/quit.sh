#!/usr/bin/env bash
# Every way to end her ends her the orderly way: status 0, the settings written, the log's end
# line and no single-instance socket left. Her own menu, the menu of her icon on an XEmbed tray
# and on a StatusNotifierItem host, SIGTERM, and SIGHUP (the session leader's hang-up).
if [ -z "${NAGOMI_SESSION_BUS:-}" ]; then
    exec env NAGOMI_SESSION_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/lib_tray.sh"
start_xvfb
stop_line=$(printf ' PP: ぴこぷる終了します．' | iconv -f UTF-8 -t CP932)

# Starts her in a fresh folder; sets app, pid and win.
start_her() {
    app=$(app_dir "$1")
    cd "$app"
    write_ini 'isLog=1\r\nTop=300\r\nLeft=700\r\nShowCalender=0\r\n'
    "$NAGOMI" 2>"$WORK/stderr.$1" &
    pid=$!
    PIDS+=($pid)
    win=$(wait_window Mainform)
    [ -S .nagomi.sock ] || fail "$1: no single-instance socket while she runs"
}

# She ended by herself within 10 s, with status 0 and everything in place.
ended_well() {
    local how="$1"
    wait_status "$pid" "$how"
    [ "$status" = 0 ] || fail "$how: status $status ($(tail -n 3 "$WORK/stderr.$how"))"
    grep -q $'^Top=300\r$' pikmain.ini || fail "$how: settings not written"
    tail -n1 piklog.txt | grep -qF "$stop_line" || fail "$how: no end line in the log"
    [ ! -e .nagomi.sock ] || fail "$how: the socket was left behind"
    echo "ok: $how"
}

# Her own menu, opened on her: "おしまい。" is its last item.
start_her menu
read -r ix iy < <(inner_point pikprsn.bmp.msk)
xdotool mousemove "$((700 + ix))" "$((300 + iy))"
sleep 0.2
xdotool click 3
sleep 0.5
xdotool key Up Return
ended_well menu

# The XEmbed tray's menu: the icon's window is taken down while the click that opened the menu
# is being delivered to it.
start_trayer
start_her xembed
wait_xembed_docked "the icon did not dock"
xembed_menu "$win" Up Return
ended_well xembed
kill "$tray"
wait "$tray" 2>/dev/null || true

# The StatusNotifierItem host's menu.
start_sni_host
start_her sni
wait_sni_icon "$pid"
sni_menu Up Return
ended_well sni
kill "$SNI_HOST"
wait "$SNI_HOST" 2>/dev/null || true

start_her sigterm
kill -TERM "$pid"
ended_well sigterm

start_her sighup
kill -HUP "$pid"
ended_well sighup
