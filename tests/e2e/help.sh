#!/usr/bin/env bash
# The help panel in the real program: "へるぷ..." from her menu shows it with the formatted help,
# "履歴" switches to the history and back, the product name opens the page through the desktop's
# opener, and "とじる" hides the panel.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(app_dir 1)
cp "$DATA/help.rtf" "$DATA/Version.txt" "$DATA/index.html" "$app/"
# The desktop's opener, replaced by one that writes down what it was asked to open.
mkdir -p "$WORK/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/opened"\n' "$WORK" >"$WORK/bin/xdg-open"
chmod +x "$WORK/bin/xdg-open"
export PATH="$WORK/bin:$PATH"
unset XDG_CURRENT_DESKTOP KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
cd "$app"
write_ini 'Top=100\r\nLeft=100\r\nShowCalender=0\r\n'
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }

# Pixels of the pane (right of x = 144) within a little of one colour.
pane_pixels() {
    local shot="$WORK/shot.png"
    import -window "$panel" "$shot"
    convert "$shot" -crop 296x405+146+4 +repage -fuzz 6% -fill '#F0F' -opaque "$1" \
        -fuzz 0 -fill black +opaque '#F0F' -fill white -opaque '#F0F' \
        -format '%[fx:round(mean*w*h)]' info:
}
title='#E05C74'   # the help's title
heading='#346CB8' # its headings

read -r cx cy < <(inner_point pikprsn.bmp.msk)
xdotool mousemove "$((100 + cx))" "$((100 + cy))"
sleep 0.2
xdotool click 3
sleep 0.5
xdotool key Up Up Up Return
panel=$(wait_window '解説とたわごと')
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$WIDTH" = 446 ] && [ "$HEIGHT" = 413 ] || fail "panel is ${WIDTH}x$HEIGHT"
sleep 0.5
[ "$(pane_pixels "$title")" -gt 20 ] || fail "the help's title is not shown in its colour"
[ "$(pane_pixels "$heading")" -gt 50 ] || fail "the help's headings are not shown in their colour"

# 履歴: the history, plain; ヘルプ: the help again.
xdotool mousemove --window "$panel" 36 396 click 1
sleep 0.5
[ "$(pane_pixels "$heading")" -eq 0 ] || fail "the history still shows the help's headings"
[ "$(pane_pixels '#000000')" -gt 100 ] || fail "the history shows no text"
xdotool mousemove --window "$panel" 36 396 click 1
sleep 0.5
[ "$(pane_pixels "$heading")" -gt 50 ] || fail "ヘルプ did not bring the help back"

# The product's name opens the page that ships with her.
xdotool mousemove --window "$panel" 30 13 click 1
for _ in $(seq 100); do
    [ -s "$WORK/opened" ] && break
    sleep 0.05
done
[ -s "$WORK/opened" ] || fail "the link did not run the opener"
grep -qx "file://$app/index.html" "$WORK/opened" || fail "opened $(cat "$WORK/opened")"

# とじる hides it; she goes on.
xdotool mousemove --window "$panel" 105 396 click 1
sleep 0.5
viewable "$panel" && fail "とじる left the panel shown"
kill -0 "$pid" || fail "the program ended"
kill -TERM "$pid"
wait_exit "$pid"
echo "ok: help"
