#!/usr/bin/env bash
# SIGTERM and SIGINT end the program the orderly way: the settings file gets the window's new
# place, the log its end line, and the log is cut to its last 1024 lines (and left alone when
# it has no more).
source "$(dirname "$0")/lib.sh"
start_xvfb
stop_line=$(printf ' PP: ぴこぷる終了します．' | iconv -f UTF-8 -t CP932)
start_line=$(printf ' PP: ぴこぷる起動しました．' | iconv -f UTF-8 -t CP932)

# 1500 lines + start + stop = 1502: the first 478 go.
app=$(app_dir 1)
cd "$app"
# The calendar would stand over her at 100,100.
write_ini 'isLog=1\r\nTop=100\r\nLeft=100\r\nShowCalender=0\r\n'
numbered_lines 1500 >piklog.txt
"$NAGOMI" 2>"$WORK/stderr1" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
"$TOOLS/shape_probe" mask pikprsn.bmp.msk >/dev/null
read -r ix iy < <(inner_point pikprsn.bmp.msk)
xdotool mousemove "$((100 + ix))" "$((100 + iy))"
sleep 0.2
xdotool mousedown 1
sleep 0.1
xdotool mousemove "$((140 + ix))" "$((130 + iy))"
sleep 0.2
xdotool mouseup 1
sleep 0.3
read -r nx ny < <(window_pos "$win")
[ "$nx $ny" = "140 130" ] || fail "window at $nx $ny after the drag"
kill -TERM "$pid"
wait_exit "$pid"
grep -q $'^Top=130\r$' pikmain.ini || fail "Top not saved: $(grep Top= pikmain.ini)"
grep -q $'^Left=140\r$' pikmain.ini || fail "Left not saved"
[ "$(stat -c %a pikmain.ini)" = 600 ] || fail "settings file mode $(stat -c %a pikmain.ini)"
[ "$(wc -l <piklog.txt)" = 1024 ] || fail "log has $(wc -l <piklog.txt) lines"
[ "$(head -n1 piklog.txt)" = $'line 479\r' ] || fail "first line: $(head -n1 piklog.txt)"
tail -n1 piklog.txt | grep -qF "$stop_line" || fail "no end line"
tail -n2 piklog.txt | head -n1 | grep -qF "$start_line" || fail "no start line"

# 1022 lines + start + stop = 1024: the file is not rewritten.
app=$(app_dir 2)
cd "$app"
write_ini 'isLog=1\r\n'
numbered_lines 1022 >piklog.txt
cp piklog.txt "$WORK/original"
inode=$(stat -c %i piklog.txt)
"$NAGOMI" 2>"$WORK/stderr2" &
pid=$!
PIDS+=($pid)
wait_window Mainform >/dev/null
kill -INT "$pid"
wait_exit "$pid"
[ "$(stat -c %i piklog.txt)" = "$inode" ] || fail "a log of 1024 lines was rewritten"
[ "$(wc -l <piklog.txt)" = 1024 ] || fail "log has $(wc -l <piklog.txt) lines"
cmp -s <(head -n 1022 piklog.txt) "$WORK/original" || fail "old lines changed"
tail -n1 piklog.txt | grep -qF "$stop_line" || fail "SIGINT wrote no end line"
echo "ok: signals"

# A signal while the later windows are still being made (a large balloon's mask is being
# generated) still ends the program, instead of leaving it running without a window.
app=$(app_dir 4)
cd "$app"
convert -size 3000x3000 xc:'#00ff00' -fill white -draw 'circle 1500 1500 1500 100' \
    -type TrueColor BMP3:fukidasi.bmp
"$NAGOMI" 2>"$WORK/stderr4" &
pid=$!
PIDS+=($pid)
# The character's mask is written: the balloon comes next.
for _ in $(seq 400); do [ -f pikprsn.bmp.msk ] && break; sleep 0.005; done
kill -TERM "$pid"
wait_exit "$pid"
grep -q '^Top=' pikmain.ini || fail "settings not written when stopped during start-up"
echo "ok: stopped during start-up"

# A SIGTERM while a bad value's error box is up at start: nothing more is made, and the file
# keeps the user's values (not the window's design place or a black clock).
app=$(app_dir 5)
cd "$app"
write_ini 'ShowTime=x\r\nTop=50\r\nLeft=61\r\nClockFontBGColor=255\r\nisLog=1\r\n'
"$NAGOMI" 2>"$WORK/stderr5" &
pid=$!
PIDS+=($pid)
wait_window 'なごみ' >/dev/null
kill -TERM "$pid"
wait_exit "$pid"
tr -d '\r' <pikmain.ini >"$WORK/saved5"
for kv in Top=50 Left=61 ClockFontBGColor=255; do
    grep -qx "$kv" "$WORK/saved5" || fail "closed during the error box: $kv not kept ($(grep "${kv%=*}=" "$WORK/saved5"))"
done
[ ! -s piklog.txt ] || fail "a log was started although the start-up never finished"

# A close while the character's own mask is made: no log line without its end, nothing saved
# over the user's values.
app=$(app_dir 6)
cd "$app"
convert -size 2400x2400 xc:white +noise Random -threshold 50% -type TrueColor BMP3:noisy.bmp
write_ini 'PikImage=noisy.bmp\r\nTop=40\r\nLeft=41\r\nisLog=1\r\n'
"$NAGOMI" 2>"$WORK/stderr6" &
pid=$!
PIDS+=($pid)
sleep 0.4
kill -TERM "$pid"
wait_exit "$pid"
if [ -s piklog.txt ]; then
    tail -n1 piklog.txt | grep -qF "$stop_line" || fail "a log start line without its end line"
fi
tr -d '\r' <pikmain.ini | grep -qx 'Top=40' || fail "closed during the mask: Top not kept"
echo "ok: closed during start-up"

# A session end when the settings cannot be written (here the name is taken by a folder) still
# ends the program, with the failure on stderr; the menu's quit keeps the program running.
app=$(app_dir 7)
cd "$app"
rm pikmain.ini
mkdir pikmain.ini
"$NAGOMI" 2>"$WORK/stderr7" &
pid=$!
PIDS+=($pid)
wait_window Mainform >/dev/null
kill -TERM "$pid"
wait_exit "$pid"
grep -q 'pikmain.ini を作成できません' "$WORK/stderr7" || fail "the failed save was not reported: $(cat "$WORK/stderr7")"
echo "ok: session end with an unwritable settings file"

# The X server going away ends the program at once; the settings and the log are still saved.
app=$(app_dir 3)
cd "$app"
write_ini 'isLog=1\r\nTop=50\r\nLeft=60\r\n'
"$NAGOMI" 2>"$WORK/stderr3" &
pid=$!
PIDS+=($pid)
wait_window Mainform >/dev/null
rm pikmain.ini
kill "${PIDS[0]}" # the Xvfb of this test
wait_exit "$pid"
grep -q $'^Top=50\r$' pikmain.ini || fail "settings not written when the display went away"
tail -n1 piklog.txt | grep -qF "$stop_line" || fail "no end line when the display went away"
echo "ok: display gone"
