#!/usr/bin/env bash
# The character on the desk, with a real tray host: the icon docks, a right press on it opens
# the character's menu at the pointer, a short click makes her tell the date and time, a drag
# says nothing, "ないない" hides her and a double-click on the icon brings her back, and
# "おしまい。" ends the program with the settings written.
source "$(dirname "$0")/lib.sh"
start_xvfb
trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.5
app=$(app_dir 1)
cp "$DATA/fukidasi.bmp" "$app/"
cd "$app"
write_ini 'isLog=1\r\nTop=300\r\nLeft=700\r\n'
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
log() { iconv -f CP932 -t UTF-8 piklog.txt; }
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }

# The small window of ours that is not the character: the docked icon.
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
ix=$((X + WIDTH / 2))
iy=$((Y + HEIGHT / 2))

# A menu: a visible window of ours, larger than the icon, that is not the character.
find_menu() {
    local m=""
    for _ in $(seq 40); do
        for w in $(xdotool search --onlyvisible --classname nagomi 2>/dev/null); do
            [ "$w" = "$win" ] && continue
            eval "$(xdotool getwindowgeometry --shell "$w")"
            [ "$WIDTH" -gt 60 ] && [ "$HEIGHT" -gt 60 ] && [ "$HEIGHT" -lt 400 ] && m=$w
        done
        [ -n "$m" ] && break
        sleep 0.05
    done
    echo "$m"
}

xdotool mousemove "$ix" "$iy"
sleep 0.2
xdotool click 3
menu=$(find_menu)
[ -n "$menu" ] || fail "a right press on the icon opened no menu"
eval "$(xdotool getwindowgeometry --shell "$menu")"
[ "$ix" -ge "$X" ] && [ "$ix" -le "$((X + WIDTH))" ] && [ "$iy" -ge "$Y" ] &&
    [ "$iy" -le "$((Y + HEIGHT))" ] || fail "menu at $X,$Y ${WIDTH}x$HEIGHT, not at the pointer $ix,$iy"
xdotool key Escape
sleep 0.3

# A short click on her: the date and the time.
read -r cx cy < <(inner_point pikprsn.bmp.msk)
xdotool mousemove "$((700 + cx))" "$((300 + cy))"
sleep 0.2
xdotool click 1
today="今日は，$(date +%-m)月$(date +%-d)日，"
# The second line follows a second after the first; a busy machine may take longer.
for _ in $(seq 100); do
    log | grep -q ' ただいま[0-9]*時[0-9]*分です．' && break
    sleep 0.1
done
log | grep -qF " $today" || fail "the click did not tell the date: $(log | tail -n 3)"
log | grep -q ' ただいま[0-9]*時[0-9]*分です．' || fail "the click did not tell the time"
lines=$(wc -l <piklog.txt)

# A drag moves her and says nothing.
xdotool mousedown 1
sleep 0.1
xdotool mousemove "$((740 + cx))" "$((320 + cy))"
sleep 0.2
xdotool mouseup 1
sleep 1.5
[ "$(wc -l <piklog.txt)" = "$lines" ] || fail "the drag spoke: $(log | tail -n 1)"
read -r wx wy < <(window_pos "$win")
[ "$wx $wy" = "740 320" ] || fail "window at $wx $wy after the drag"

# "ないない" from her menu hides her; a double-click on the icon brings her back.
xdotool click 3
[ -n "$(find_menu)" ] || fail "a right press on her opened no menu"
xdotool key Up Up Return
sleep 0.5
viewable "$win" && fail "ないない left the character shown"
xdotool mousemove "$ix" "$iy"
sleep 0.2
xdotool click --repeat 2 --delay 80 1
sleep 0.5
viewable "$win" || fail "a double-click on the icon did not bring her back"
balloon=$(xdotool search --name '^Fukidasi$' | head -n1)
[ -z "$balloon" ] || ! viewable "$balloon" || fail "the idle balloon came back with her"

# "おしまい。" ends the program the orderly way.
xdotool mousemove "$((740 + cx))" "$((320 + cy))"
sleep 0.2
xdotool click 3
[ -n "$(find_menu)" ] || fail "no menu for おしまい。"
xdotool key Up Return
wait_exit "$pid"
grep -q $'^Top=320\r$' pikmain.ini || fail "settings not written at おしまい。"
log | tail -n 1 | grep -q 'ぴこぷる終了します．' || fail "no end line"
echo "ok: tray"
