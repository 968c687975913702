#!/usr/bin/env bash
# The help panel in the real program: "へるぷ..." from her menu shows it with the formatted help,
# "履歴" switches to the history and back, the product name opens the page through the desktop's
# opener, and "とじる" hides the panel. The panel is a tool window that asks for no title-bar
# buttons, and opens beside her, not over her, the first time; then where the user left it.
# Under a window manager, with a help file far larger than the pane can lay out, it still opens
# beside her (on her left at the screen's right edge) and answers at once, at its end too.
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
write_ini 'Top=400\r\nLeft=500\r\nShowCalender=0\r\n' # where a centred panel would cover her
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }
# Prints X Y WIDTH HEIGHT of a window's client area.
client_rect() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /^  Width:/{w=$2} /^  Height:/{h=$2} END{print x, y, w, h}'
}
# The panel beside her: apart from her rectangle, on the screen (1280 x 1024), the window
# manager's frame included (its extents, when one manages the panel).
check_beside() {
    local side="$1" hx hy hw hh px py pw ph l=0 r=0 t=0 b=0
    read -r hx hy hw hh < <(client_rect "$win")
    read -r px py pw ph < <(client_rect "$panel")
    if xprop -id "$panel" _NET_FRAME_EXTENTS | grep -q '='; then
        IFS=', ' read -r l r t b < <(xprop -id "$panel" _NET_FRAME_EXTENTS | sed 's/.*= //')
    fi
    px=$((px - l)) py=$((py - t)) pw=$((pw + l + r)) ph=$((ph + t + b))
    case "$side" in
    right) [ "$px" -ge $((hx + hw)) ] || fail "panel at $px,$py covers her at $hx,$hy ${hw}x$hh" ;;
    left) [ $((px + pw)) -le "$hx" ] || fail "panel at $px,$py (${pw} wide) is not on her left ($hx)" ;;
    esac
    [ "$px" -ge 0 ] && [ "$py" -ge 0 ] && [ $((px + pw)) -le 1280 ] && [ $((py + ph)) -le 1024 ] ||
        fail "panel at $px,$py ${pw}x$ph is not on the screen"
}
# A tool window; window-manager functions move and resize at most, decorations (if any are
# named) without menu, minimise or maximise.
check_hints() {
    local types
    types=$(xprop -id "$panel" _NET_WM_WINDOW_TYPE)
    case "$types" in *_NET_WM_WINDOW_TYPE_UTILITY*) ;; *) fail "not a tool window: $types" ;; esac
    local flags functions decorations
    IFS=', ' read -r flags functions decorations _ < <(xprop -id "$panel" _MOTIF_WM_HINTS | sed 's/.*= //')
    ((flags & 1)) && ! ((functions & (1 | 8 | 16 | 32))) ||
        fail "the window manager may offer buttons: _MOTIF_WM_HINTS $flags $functions $decorations"
    ! ((flags & 2)) || ! ((decorations & (1 | 16 | 32 | 64))) ||
        fail "buttons asked for: _MOTIF_WM_HINTS $flags $functions $decorations"
}

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

# "へるぷ..." from her menu.
open_panel() {
    local x y
    read -r x y < <(window_pos "$win")
    xdotool mousemove "$((x + cx))" "$((y + cy))"
    sleep 0.2
    xdotool click 3
    sleep 0.5
    xdotool key Up Up Up Return
    panel=$(wait_window '解説とたわごと')
}
read -r cx cy < <(inner_point pikprsn.bmp.msk)
open_panel
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$WIDTH" = 446 ] && [ "$HEIGHT" = 413 ] || fail "panel is ${WIDTH}x$HEIGHT"
check_beside right
check_hints
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

# Moved by the user, it opens there again.
xdotool windowmove "$panel" 20 30
sleep 0.3
open_panel
[ "$(window_pos "$panel")" = "20 30" ] || fail "the panel came back at $(window_pos "$panel")"
kill -TERM "$pid"
wait_exit "$pid"

# Under a window manager, a help file of 15.7 MB of one-letter runs that alternate bold and
# italic, in one paragraph; she stands at the screen's right edge.
start_openbox
app=$(app_dir 2)
{
    printf '{\\rtf1 '
    head -c $((15700000 / 12 * 12)) /dev/zero | tr '\0' x | sed 's/xxxxxxxxxxxx/{\\b a}{\\i b}/g'
    printf '}'
} >"$app/help.rtf"
cd "$app"
write_ini 'Top=300\r\nLeft=1060\r\nShowCalender=0\r\n'
"$NAGOMI" 2>>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
open_panel
sleep 0.5
check_beside left
check_hints
# openbox offers neither minimise nor maximise (it keeps a close box on every titled window).
actions=$(xprop -id "$panel" _NET_WM_ALLOWED_ACTIONS)
case "$actions" in *MINIMIZE* | *MAXIMIZE*) fail "openbox offers to minimise or maximise it: $actions" ;; esac
# Into the pane, to its end, then とじる: the panel answers.
xdotool mousemove --window "$panel" 250 200 click 1
sleep 0.3
xdotool key ctrl+End
xdotool mousemove --window "$panel" 105 396 click 1
for _ in $(seq 100); do
    viewable "$panel" || break
    sleep 0.05
done
viewable "$panel" && fail "the panel did not answer after Ctrl+End"
kill -TERM "$pid"
wait_exit "$pid"
echo "ok: help"
