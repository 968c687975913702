#!/usr/bin/env bash
# Under a real window manager (openbox) the character, her balloon, the calendar and the mail
# window carry no task-bar and no pager entry: the window manager itself reports the skip
# states in _NET_WM_STATE, after the start and again after "ないない" and a restore.
source "$(dirname "$0")/lib.sh"
start_xvfb
start_openbox
app=$(app_dir 1)
cp "$DATA/fukidasi.bmp" "$app/"
cd "$app"
month="$(date +%Y)年$(date +%-m)月"

# Every window here must say both; the window manager rewrites the property while it manages
# the window, so what it keeps is what it honours.
skips() {
    local id="$1" what="$2" state=""
    for _ in $(seq 40); do
        state=$(xprop -id "$id" _NET_WM_STATE 2>/dev/null || true)
        case "$state" in *_NET_WM_STATE_SKIP_TASKBAR*_NET_WM_STATE_SKIP_PAGER* | \
            *_NET_WM_STATE_SKIP_PAGER*_NET_WM_STATE_SKIP_TASKBAR*) return 0 ;; esac
        sleep 0.05
    done
    fail "$what has a task-bar or pager entry: $state"
}

# The top-left corner of a managed client (its frame holds it at another spot of the tree).
client_pos() {
    xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}'
}

# Right press on her body, then the keys that walk her menu.
her_menu() {
    read -r x y < <(client_pos "$win")
    xdotool mousemove "$((x + cx))" "$((y + cy))"
    sleep 0.2
    xdotool click 3
    sleep 0.4
    xdotool key "$@"
    sleep 0.5
}

# Mail checking on: her menu's mail item is enabled. No server answers, so the first check ends
# in an error box, which is closed.
write_ini 'Left=300\r\nTop=200\r\nShowCalender=1\r\nMailCheck=1\r\nMailInterval=60\r\n'
printf 'POPServer=127.0.0.1\r\nMailX=700\r\nMailY=600\r\n' >>pikmain.ini
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
box=$(wait_window なごみ)
xdotool windowactivate --sync "$box" key Return
cal=$(wait_window "Calender: $month")
read -r cx cy < <(inner_point pikprsn.bmp.msk)
skips "$win" "the character"
skips "$cal" "the calendar"
# Her icon on her windows, in its sizes (the window manager shows it in lists and Alt-Tab).
for id in "$win" "$cal"; do
    xprop -id "$id" _NET_WM_ICON >"$WORK/icon"
    grep -aq 'Icon (48 x 48)' "$WORK/icon" || fail "window $id lacks her icon"
done

# A short click: she speaks in her balloon.
read -r x y < <(client_pos "$win")
xdotool mousemove "$((x + cx))" "$((y + cy))" click 1
balloon=$(wait_window Fukidasi)
skips "$balloon" "the balloon"

her_menu Down Down Down Right Down Return # 確認する。 > メール確認...
mail=$(wait_window "メール受信状況")
skips "$mail" "the mail window"

# Hidden and back (a second start restores her): the states are set again before mapping.
her_menu Up Up Return # ないない
xwininfo -id "$win" | grep -q IsViewable && fail "ないない left her shown"
timeout 20 "$NAGOMI" 2>>"$WORK/stderr" || fail "the second start failed"
win=$(wait_window Mainform)
cal=$(wait_window "Calender: $month")
skips "$win" "the character after a restore"
skips "$cal" "the calendar after a restore"
read -r x y < <(client_pos "$win")
xdotool mousemove "$((x + cx))" "$((y + cy))" click 1
balloon=$(wait_window Fukidasi)
skips "$balloon" "the balloon after a restore"

kill -TERM "$pid"
wait_exit "$pid"
echo "ok: taskbar"
