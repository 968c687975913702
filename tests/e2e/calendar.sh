#!/usr/bin/env bash
# The calendar beside the character, with a real tray host: it stands at CalX/CalY in the size of
# CalSize, captioned with this month; its menu changes the size; "とじる" hides it without
# turning it off; "ないない" hides it and a double-click on the tray icon brings it back; a drag
# moves it and the place is saved. At midnight (a fake clock) it shows the new month.
source "$(dirname "$0")/lib.sh"
start_xvfb
trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.5
app=$(app_dir 1)
cp "$DATA/back.bmp" "$app/"
cd "$app"
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }
client_size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
month="$(date +%Y)年$(date +%-m)月"

start_program() {
    "$NAGOMI" 2>"$WORK/stderr" &
    pid=$!
    PIDS+=($pid)
    win=$(wait_window Mainform)
}

# Right press on the calendar, then the keys that walk its menu.
calendar_menu() {
    read -r x y < <(window_pos "$cal")
    xdotool mousemove "$((x + 40))" "$((y + 40))"
    sleep 0.2
    xdotool click 3
    sleep 0.4
    xdotool key "$@"
    sleep 0.5
}

# Small, at its place, captioned with this month.
write_ini 'CalX=300\r\nCalY=200\r\nCalSize=1\r\nLeft=700\r\nTop=300\r\n'
start_program
cal=$(wait_window "Calender: $month")
[ "$(window_pos "$cal")" = "300 200" ] || fail "calendar at $(window_pos "$cal"), not 300 200"
[ "$(client_size "$cal")" = "131x88" ] || fail "size 1 is $(client_size "$cal")"

# Its menu: サイズ... > 大きい(24pt), then ふつう(16pt).
calendar_menu Down Down Right Down Down Return
[ "$(client_size "$cal")" = "348x240" ] || fail "size 3 is $(client_size "$cal")"
calendar_menu Down Down Right Down Return
[ "$(client_size "$cal")" = "232x160" ] || fail "size 2 is $(client_size "$cal")"
[ "$(window_pos "$cal")" = "300 200" ] || fail "the size change moved it"

# "とじる" hides it; the saved file keeps it on.
calendar_menu Down Return
viewable "$cal" && fail "とじる left the calendar shown"
kill -TERM "$pid"
wait_exit "$pid"
grep -q $'^ShowCalender=1\r$' pikmain.ini || fail "ShowCalender not 1 after とじる"
grep -q $'^CalSize=2\r$' pikmain.ini || fail "CalSize not saved"

# Back at the next start, in the saved size.
start_program
cal=$(wait_window "Calender: $month")
[ "$(client_size "$cal")" = "232x160" ] || fail "size after restart is $(client_size "$cal")"

# With no window manager the body drags it.
xdotool mousemove 340 240
sleep 0.2
xdotool mousedown 1
sleep 0.1
xdotool mousemove 370 260
sleep 0.1
xdotool mousemove 390 290
sleep 0.2
xdotool mouseup 1
sleep 0.3
[ "$(window_pos "$cal")" = "350 250" ] || fail "dragged to $(window_pos "$cal"), not 350 250"

# "ないない" from the character's menu, then a double-click on the tray icon.
read -r cx cy < <(inner_point pikprsn.bmp.msk)
xdotool mousemove "$((700 + cx))" "$((300 + cy))"
sleep 0.2
xdotool click 3
sleep 0.4
xdotool key Up Up Return
sleep 0.5
viewable "$cal" && fail "ないない left the calendar shown"
icon=""
for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --classname nagomi 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -le 32 ] && [ "$HEIGHT" -le 32 ] && [ "$Y" -gt 900 ] && icon=$w
    done
    [ -n "$icon" ] && break
    sleep 0.05
done
[ -n "$icon" ] || fail "the tray icon did not dock"
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))"
sleep 0.2
xdotool click --repeat 2 --delay 80 1
sleep 0.5
viewable "$cal" || fail "the tray double-click did not bring the calendar back"
[ "$(window_pos "$cal")" = "350 250" ] || fail "it came back at $(window_pos "$cal")"

kill -TERM "$pid"
wait_exit "$pid"
grep -q $'^CalX=350\r$' pikmain.ini || fail "CalX not saved: $(grep CalX pikmain.ini)"
grep -q $'^CalY=250\r$' pikmain.ini || fail "CalY not saved: $(grep CalY pikmain.ini)"

# Midnight on a fake clock: closed on November, it shows itself on December.
"$TOOLS/calendar_probe" >"$WORK/probe.out" 2>"$WORK/stderr" &
PIDS+=($!)
wait_window "Calender: 2026年11月" >/dev/null
for _ in $(seq 100); do
    grep -q closed "$WORK/probe.out" && break
    sleep 0.05
done
grep -q closed "$WORK/probe.out" || fail "the probe did not close the calendar"
dec=$(wait_window "Calender: 2026年12月")
viewable "$dec" || fail "the calendar did not show itself at midnight"
echo "ok: calendar"
