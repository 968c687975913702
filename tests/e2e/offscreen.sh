#!/usr/bin/env bash
# A window whose saved place lies beyond every screen comes back to its default place on the
# primary screen, at the start and at a restore: the character (793, 167), the calendar
# (100, 100) and the mail window (0, 0); the new places are saved. A window partly on the
# screen stays where the user left it. At scale 2 the default place is pulled onto the screen.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(app_dir 1)
cd "$app"
month="$(date +%Y)年$(date +%-m)月"
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }
size_of() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}'; }
expect_pos() { [ "$(window_pos "$1")" = "$2" ] || fail "$3 at $(window_pos "$1"), not $2"; }
saved() { grep -q $'^'"$1"$'\r$' pikmain.ini || fail "$1 not saved: $(grep "${1%%=*}" pikmain.ini)"; }

start_program() {
    "$@" "$NAGOMI" 2>>"$WORK/stderr" &
    pid=$!
    PIDS+=($pid)
    win=$(wait_window Mainform)
}
stop_program() {
    kill -TERM "$pid"
    wait_exit "$pid"
}
her_menu() {
    read -r x y < <(window_pos "$win")
    xdotool mousemove "$((x + cx))" "$((y + cy))"
    sleep 0.2
    xdotool click 3
    sleep 0.4
    xdotool key "$@"
    sleep 0.5
}

# Beyond every screen: back home, and saved there.
write_ini 'Left=5000\r\nTop=200\r\nShowCalender=1\r\nCalX=-4000\r\nCalY=50\r\n'
start_program
cal=$(wait_window "Calender: $month")
expect_pos "$win" "793 167" "she"
expect_pos "$cal" "100 100" "the calendar"
read -r cx cy < <(inner_point pikprsn.bmp.msk)

# Hidden, moved off every screen meanwhile, and restored by a second start.
her_menu Up Up Return # ないない
viewable "$win" && fail "ないない left her shown"
xdotool windowmove "$win" 3000 -2000 windowmove "$cal" -3000 3000
sleep 0.3
timeout 20 "$NAGOMI" 2>>"$WORK/stderr" || fail "the second start failed"
for _ in $(seq 40); do viewable "$win" && viewable "$cal" && break; sleep 0.05; done
expect_pos "$win" "793 167" "she after a restore"
expect_pos "$cal" "100 100" "the calendar after a restore"
stop_program
saved Left=793
saved Top=167
saved CalX=100
saved CalY=100

# Partly on the screen: left alone.
write_ini 'Left=1200\r\nTop=900\r\nShowCalender=1\r\nCalX=-150\r\nCalY=-100\r\n'
start_program
cal=$(wait_window "Calender: $month")
expect_pos "$win" "1200 900" "she, partly shown,"
expect_pos "$cal" "-150 -100" "the calendar, partly shown,"
stop_program
saved Left=1200
saved CalX=-150

# The mail window beyond the screen comes back when shown. Mail checking is on but no server
# answers: the first check ends in an error box, which is closed.
write_ini 'Left=300\r\nTop=200\r\nShowCalender=0\r\nMailCheck=1\r\nMailInterval=60\r\n'
printf 'POPServer=127.0.0.1\r\nMailX=9000\r\nMailY=-9000\r\n' >>pikmain.ini
start_program
box=$(wait_window なごみ)
xdotool windowfocus --sync "$box" key Return
sleep 0.5
her_menu Down Down Down Right Down Return # 確認する。 > メール確認...
mail=$(wait_window "メール受信状況")
expect_pos "$mail" "0 0" "the mail window"
stop_program
saved MailX=0
saved MailY=0

# Scale 2 on this screen: her saved place is beyond the halved screen, and her default place
# would be too, so it is pulled in until she is wholly on the screen.
write_ini 'Left=693\r\nTop=100\r\nShowCalender=0\r\n'
start_program env QT_SCALE_FACTOR=2
read -r x y < <(window_pos "$win")
read -r w h < <(size_of "$win")
[ "$x" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ "$y" -ge 0 ] && [ $((y + h)) -le 1024 ] ||
    fail "at scale 2 she stands at $x $y ($w x $h), not on the screen"
[ $((x + w)) -eq 1280 ] || fail "at scale 2 she is not pulled just inside: $x + $w"
stop_program
echo "ok: offscreen"
