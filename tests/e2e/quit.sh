#!/usr/bin/env bash
# Every way to end her ends her the orderly way: status 0, the settings written, the log's end
# line and no single-instance socket left. Her own menu, the menu of her icon on an XEmbed tray
# and on a StatusNotifierItem host, SIGTERM, SIGHUP (the session leader's hang-up), and an X
# session manager: its end of the session, and its going away.
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
    grep -q '^PikImage=' pikmain.ini || fail "$how: settings not written" # a key she writes, not the test
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
wait_her_menu "$win" "a right press on her opened no menu"
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

# The X session's end through a session manager: SaveYourself (shutdown), then Die.
# Starts the session manager with ARGS for case $1; sets sm and sm_address.
start_session_manager() {
    local how="$1"
    shift
    "$TOOLS/session_probe" "$@" "$WORK/sm.$how" >"$WORK/sm.$how.out" 2>"$WORK/sm.$how.err" &
    sm=$!
    PIDS+=($sm)
    for _ in $(seq 100); do
        [ -s "$WORK/sm.$how" ] && break
        sleep 0.05
    done
    [ -s "$WORK/sm.$how" ] || fail "$how: the session manager did not start"
    sm_address=$(cat "$WORK/sm.$how")
}

# Waits until she told the session manager that she saved.
wait_saved() {
    local how="$1"
    for _ in $(seq 200); do
        grep -qx saved "$WORK/sm.$how.out" && return 0
        kill -0 "$sm" 2>/dev/null || break
        sleep 0.05
    done
    fail "$how: no SaveYourselfDone ($(tail -n 2 "$WORK/sm.$how.err"))"
}

# The session manager's own status: 0 when she said SaveYourselfDone and nothing went wrong.
session_manager_ok() {
    local how="$1" status=0
    wait "$sm" || status=$?
    [ "$status" = 0 ] || fail "$how: session manager status $status ($(tail -n 2 "$WORK/sm.$how.err"))"
}

# The orderly session end. What the session manager may end any time after SaveYourselfDone is
# already safe then: the settings and the log's end line are written by the time she says it.
start_session_manager xsmp
SESSION_MANAGER=$sm_address ICEAUTHORITY="$WORK/iceauthority" start_her xsmp
kill -USR1 "$sm"
wait_saved xsmp
grep -q '^PikImage=' pikmain.ini || fail "xsmp: settings not written by SaveYourselfDone"
tail -n1 piklog.txt | grep -qF "$stop_line" || fail "xsmp: no end line by SaveYourselfDone"
kill -USR1 "$sm" 2>/dev/null || true # Die, unless she has already gone
ended_well xsmp
session_manager_ok xsmp

# A session manager that sends Die and goes at once: her goodbye to it must not kill her.
start_session_manager xsmp_leave --leave
SESSION_MANAGER=$sm_address ICEAUTHORITY="$WORK/iceauthority" start_her xsmp_leave
kill -USR1 "$sm"
ended_well xsmp_leave
session_manager_ok xsmp_leave

# The session manager goes away while she runs: the session is over, and she ends with it.
start_session_manager xsmp_gone
SESSION_MANAGER=$sm_address ICEAUTHORITY="$WORK/iceauthority" start_her xsmp_gone
kill -TERM "$sm"
ended_well xsmp_gone
