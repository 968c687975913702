#!/usr/bin/env bash
# Names in her folder that are no regular files (a FIFO no one writes to) are files she cannot
# open: she says so as for any unreadable file and goes on, and SIGTERM ends her with status 0.
# Before, the open of the FIFO blocked her for good and no signal could end her.
source "$(dirname "$0")/lib.sh"
start_xvfb

# She ends on SIGTERM within 10 s with status 0.
ends_on_sigterm() {
    local how="$1"
    kill -TERM "$pid"
    wait_status "$pid" "$how"
    [ "$status" = 0 ] || fail "$how: status $status"
}

# Every picture, mask, sound and help file she reads later as a FIFO: she and the calendar
# show (the calendar on its plain ground after the error box for its picture).
app=$(app_dir 1)
cd "$app"
for f in back.bmp fukidasi.bmp fukidasi.bmp.msk pikprsn.bmp.msk chime.wav help.rtf Version.txt; do
    mkfifo "$f"
done
write_ini 'ShowCalender=1\r\nCalX=600\r\nCalY=100\r\nTop=100\r\nLeft=100\r\n'
"$NAGOMI" 2>"$WORK/stderr1" &
pid=$!
PIDS+=($pid)
# One error box for each picture that cannot be read; each is answered until the calendar shows.
cal=""
boxes=0
for _ in $(seq 200); do
    cal=$(xdotool search --onlyvisible --name '^Calender: ' 2>/dev/null | head -n1 || true)
    [ -n "$cal" ] && break
    box=$(xdotool search --onlyvisible --name '^なごみ$' 2>/dev/null | head -n1 || true)
    if [ -n "$box" ]; then
        xdotool windowfocus --sync "$box" key Return
        boxes=$((boxes + 1))
    fi
    sleep 0.05
done
[ -n "$cal" ] || fail "the calendar never showed ($boxes error boxes answered)"
[ "$boxes" -ge 1 ] || fail "no error box for the pictures that could not be read"
wait_window Mainform >/dev/null
ends_on_sigterm pictures
echo "ok: pictures, masks, sounds and help as FIFOs"

# The character's picture as a FIFO: the error box, not a start that never ends.
app=$(app_dir 2)
cd "$app"
mkfifo pipe.bmp
write_ini 'PikImage=pipe.bmp\r\n'
"$NAGOMI" 2>"$WORK/stderr2" &
pid=$!
PIDS+=($pid)
wait_window なごみ >/dev/null
ends_on_sigterm character
echo "ok: the character's picture as a FIFO"

# The settings and the log as FIFOs: the error box; at the end the settings are written as a
# file and the FIFO is kept aside, as any settings file that could not be read.
app=$(app_dir 3)
cd "$app"
rm pikmain.ini
mkfifo pikmain.ini piklog.txt
"$NAGOMI" 2>"$WORK/stderr3" &
pid=$!
PIDS+=($pid)
wait_window なごみ >/dev/null
ends_on_sigterm settings
[ -f pikmain.ini ] && grep -q '^Top=' pikmain.ini || fail "the settings were not written"
[ -p pikmain.ini.unread ] || fail "the FIFO was not kept aside"
echo "ok: settings as a FIFO"
