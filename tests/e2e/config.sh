#!/usr/bin/env bash
# The settings dialog in the running program, driven by the keyboard as a user would: "設定する。"
# from her menu opens it; Escape leaves every file as it was; "おっけ～" with logging ticked adds
# exactly one start line (and pressing it again none); a new calendar size is written, and the
# calendar, where it exists, is shown again at once in that size.
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
wait_window Mainform >/dev/null
read -r ix iy < <(inner_point pikprsn.bmp.msk)

# Her menu, from the bottom: おしまい。, ないない, へるぷ..., 設定する。
open_dialog() {
    xdotool mousemove "$((300 + ix))" "$((200 + iy))"
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

grep -q 'error box' "$WORK/stderr" && fail "an error box appeared: $(grep 'error box' "$WORK/stderr")"
kill -TERM "$pid"
wait_exit "$pid"
echo "ok: config"
