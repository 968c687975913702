#!/usr/bin/env bash
# The settings dialog in the running program, driven by the keyboard as a user would: "設定する。"
# from her menu opens it; Escape leaves every file as it was; "おっけ～" with logging ticked adds
# exactly one start line (and pressing it again none); a new calendar size is written, and the
# calendar, where it exists, is shown again at once in that size; Return after "中央" is
# "おっけ～". Then under a window manager (openbox): the dialog's title bar holds the close box
# alone, in its hints, in what the window manager allows and in the frame it draws.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(app_dir 1)
cd "$app"
# The calendar stands well away from her, so her menu is never under it. The time signal is on:
# the walks through the dialog below count on its fields being enabled, and no check here minds
# its lines.
printf 'Top=200\r\nLeft=300\r\nShowCalender=1\r\nCalSize=2\r\nCalX=800\r\nCalY=600\r\nOclock=1\r\n' >pikmain.ini
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
read -r ix iy < <(inner_point pikprsn.bmp.msk)

# Her menu, from the bottom: おしまい。, ないない, へるぷ..., 設定する。
open_dialog() {
    local x y
    read -r x y < <(window_pos "$win")
    xdotool mousemove "$((x + ix))" "$((y + iy))"
    sleep 0.2
    xdotool click 3
    sleep 0.5
    xdotool key Up Up Up Up Return
    dlg=$(wait_window "設定する。")
    xdotool windowfocus --sync "$dlg" 2>/dev/null || true
    sleep 0.3
}

wait_closed() {
    for _ in $(seq 100); do
        [ -z "$(xdotool search --onlyvisible --name '^設定する。$' 2>/dev/null)" ] && return 0
        sleep 0.05
    done
    fail "the dialog did not close"
}

snapshot() { (ls -l --time-style=full-iso && md5sum ./*) 2>/dev/null | grep -v '\.msk'; }
started() { iconv -f CP932 -t UTF-8 piklog.txt | grep -c ' PP Logging Started \*\*\*'$'\r''$'; }

# Typing and ticking, then Escape: nothing reaches the disk.
before=$(snapshot)
open_dialog
eval "$(xdotool getwindowgeometry --shell "$dlg")"
[ "$WIDTH" = 340 ] && [ "$HEIGHT" = 417 ] || fail "dialog is ${WIDTH}x$HEIGHT"
xdotool type --delay 20 zz
# From the picture's field down the page to the log's check box (calendar, clock and time
# signal on, alarm off; the test buttons are off until a file is picked).
xdotool key --delay 30 Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
sleep 0.2
xdotool key Escape
wait_closed
sleep 0.3
[ "$(snapshot)" = "$before" ] || fail "Escape changed files: $(diff <(echo "$before") <(snapshot))"
echo "ok: escape"

# Logging ticked, then "おっけ～" (the default button): one start line.
open_dialog
xdotool key --delay 30 Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
sleep 0.2
xdotool key Return
wait_closed
[ -f piklog.txt ] || fail "no log after logging was switched on"
[ "$(started)" = 1 ] || fail "start lines: $(iconv -f CP932 -t UTF-8 piklog.txt)"
grep -q $'^isLog=1\r$' pikmain.ini || fail "isLog not saved"
open_dialog
xdotool key Return
wait_closed
[ "$(started)" = 1 ] || fail "a second おっけ～ wrote another start line"
echo "ok: logging"

# Each calendar size in turn: the combo box is the third stop on the page.
for size in 1 3 2; do
    open_dialog
    xdotool key --delay 30 Tab Tab Tab Home
    for ((i = 1; i < size; i++)); do xdotool key Down; done
    xdotool key Return
    wait_closed
    grep -q "^CalSize=$size"$'\r$' pikmain.ini || fail "CalSize $size not written: $(grep CalSize pikmain.ini)"
    cal=$(xdotool search --name '^Calender: ' 2>/dev/null | head -n1 || true)
    [ -n "$cal" ] || fail "no calendar window after size $size"
    if [ -n "$cal" ]; then
        case $size in 1) want="131 88" ;; 2) want="232 160" ;; 3) want="348 240" ;; esac
        sleep 0.3
        xwininfo -id "$cal" | grep -q IsViewable || fail "the calendar is not shown after size $size"
        got=$(xwininfo -id "$cal" | awk '/^  Width:/{w=$2} /^  Height:/{h=$2} END{print w, h}')
        [ "$got" = "$want" ] || fail "calendar of size $size is $got, not $want"
    fi
done
echo "ok: calendar size"

# "中央" clicked (from the keyboard: the eighth stop on the page), then Return: the dialog closes
# with her centre in the clock's place, instead of Return pressing "中央" again.
open_dialog
xdotool key --delay 30 Tab Tab Tab Tab Tab Tab Tab space
sleep 0.2
xdotool key Return
wait_closed
read -r w h < <(xwininfo -id "$win" | awk '/^  Width:/{w=$2} /^  Height:/{h=$2} END{print w, h}')
grep -q "^ClockX=$((w / 2))"$'\r$' pikmain.ini && grep -q "^ClockY=$((h / 2))"$'\r$' pikmain.ini ||
    fail "Return after 中央 did not apply her centre ${w}x$h: $(grep '^Clock[XY]' pikmain.ini)"
echo "ok: return after 中央"

grep -q 'error box' "$WORK/stderr" && fail "an error box appeared: $(grep 'error box' "$WORK/stderr")"
kill -TERM "$pid"
wait_exit "$pid"

# Under openbox. It takes a window's buttons from its type and ignores the Motif functions, so
# each source is checked: the hints Qt writes, the actions the window manager allows, and the
# buttons it draws.
start_openbox
"$NAGOMI" 2>"$WORK/stderr2" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
open_dialog
# flags, functions, decorations: close (function 0x20) and a title (decoration 0x08), neither
# minimise (0x08, 0x20) nor maximise (0x10, 0x40), and not "all" (bit 0).
read -r flags funcs decor _ < <(xprop -id "$dlg" _MOTIF_WM_HINTS | sed 's/.*= //; s/,//g')
(((flags & 3) == 3)) || fail "the Motif hints lack functions or decorations: $flags"
((funcs & 0x20)) && ! ((funcs & 0x19)) || fail "Motif functions $funcs: no close, or more buttons"
((decor & 0x08)) && ! ((decor & 0x61)) || fail "Motif decorations $decor: more than the close box"
actions=$(xprop -id "$dlg" _NET_WM_ALLOWED_ACTIONS)
case "$actions" in *_NET_WM_ACTION_CLOSE*) ;; *) fail "it cannot be closed: $actions" ;; esac
case "$actions" in *MINIMIZE* | *MAXIMIZE*) fail "it can be minimised or maximised: $actions" ;; esac

# The frame: the title bar left of the close box is bare. The close box takes the frame's last
# 22 pixels; each row of the 70 before them is one colour (the title's gradient runs top to
# bottom), where the minimise and maximise buttons would break it.
read -r _ right top _ < <(xprop -id "$dlg" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
read -r dx dy < <(window_pos "$dlg")
frame_right=$((dx + 340 + right))
sleep 0.3
import -window root "$WORK/frame.png"
for ((row = 4; row <= top - 4; row++)); do
    strip="70x1+$((frame_right - 92))+$((dy - top + row))"
    colours=$(convert "$WORK/frame.png" -crop "$strip" +repage -format %k info:)
    [ "$colours" = 1 ] || fail "a button left of the close box (title row $row: $colours colours)"
done
# The close box closes it, and nothing is saved.
before=$(snapshot)
xdotool mousemove "$((frame_right - 12))" "$((dy - top / 2))" click 1
wait_closed
[ "$(snapshot)" = "$before" ] || fail "the close box changed files"
echo "ok: close box alone"

grep -q 'error box' "$WORK/stderr2" && fail "an error box appeared: $(grep 'error box' "$WORK/stderr2")"
kill -TERM "$pid"
wait_exit "$pid"
echo "ok: config"
