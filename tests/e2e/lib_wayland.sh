# A Wayland session on the private Xvfb: a compositor drawn in an X window that covers the
# whole Xvfb screen (so screen coordinates are the compositor's), with Xwayland for X clients.
# Sourced after lib.sh; start_xvfb first. Sets XV (the Xvfb display, where screenshots are
# taken and the pointer is driven), XW (Xwayland's display) and WL (the Wayland socket).

XV="${DISPLAY:-}"
export XDG_RUNTIME_DIR="$WORK/rt"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Waits (TRIES × 50 ms) for the compositor's log line "PREFIX :N" and prints :N, the display of
# its Xwayland; on failure the log's end goes to stderr.
xwayland_display() {
    local prefix="$1" tries="$2"
    for _ in $(seq "$tries"); do
        grep -q "$prefix" "$WORK/compositor.log" 2>/dev/null && break
        sleep 0.05
    done
    grep -o "$prefix :[0-9]*" "$WORK/compositor.log" | grep -o ':[0-9]*$' && return 0
    tail -n 5 "$WORK/compositor.log" >&2
    return 1
}

# weston with the X11 backend and the software renderer, a plain desktop and no panel.
start_weston() {
    printf '[core]\nidle-time=0\n[shell]\nbackground-color=0xff3060c0\npanel-position=none\nlocking=false\n' \
        >"$WORK/weston.ini"
    WL=wl-nagomi
    weston --config="$WORK/weston.ini" --backend=x11-backend.so --use-pixman --xwayland \
        --socket="$WL" --width=1280 --height=1024 >"$WORK/compositor.log" 2>&1 &
    PIDS+=($!)
    XW=$(xwayland_display 'xserver listening on display' 200) || fail "weston did not start"
}

# GNOME's compositor nested in an X window; its Xwayland wants the cookie it writes.
start_mutter() {
    WL=wayland-0
    MUTTER_DEBUG_DUMMY_MODE_SPECS=1280x1024 mutter --nested --wayland \
        >"$WORK/compositor.log" 2>&1 &
    PIDS+=($!)
    XW=$(xwayland_display 'Using public X11 display' 300) || fail "mutter did not start"
    for _ in $(seq 100); do
        ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* >/dev/null 2>&1 && break
        sleep 0.05
    done
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1) ||
        fail "mutter wrote no Xwayland cookie"
    export XAUTHORITY
}

# sway headless with the software renderer and its Xwayland, no Xvfb: the pointer is driven on
# Xwayland itself (XV=XW) and screenshots come from the compositor (grim). sway refuses to run
# as root, so under root it runs as nobody; its Xwayland then admits every local client.
start_sway() {
    local as=()
    if [ "$(id -u)" = 0 ]; then
        as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chmod 711 "$WORK"
        chown nobody:nogroup "$XDG_RUNTIME_DIR"
    fi
    printf '#!/bin/sh\nexec Xwayland "$@" -ac\n' >"$WORK/xwayland"
    chmod 755 "$WORK/xwayland"
    printf '%s\n' 'output HEADLESS-1 resolution 1280x1024 position 0,0 bg #3060c0 solid_color' \
        'xwayland enable' "exec sh -c 'echo \"\$DISPLAY \$WAYLAND_DISPLAY\" >$XDG_RUNTIME_DIR/displays'" \
        >"$WORK/sway.conf"
    chmod 644 "$WORK/sway.conf"
    "${as[@]}" env HOME="$XDG_RUNTIME_DIR" WLR_BACKENDS=headless WLR_RENDERER=pixman \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_XWAYLAND="$WORK/xwayland" \
        sway -c "$WORK/sway.conf" >"$WORK/compositor.log" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do
        [ -s "$XDG_RUNTIME_DIR/displays" ] && break
        sleep 0.05
    done
    if ! [ -s "$XDG_RUNTIME_DIR/displays" ]; then
        tail -n 5 "$WORK/compositor.log" >&2
        fail "sway did not start"
    fi
    read -r XW WL <"$XDG_RUNTIME_DIR/displays"
    XV=$XW
    GRIM=1
}

# Both compositors take the X pointer's moves as relative motion from where they think it is.
# Pushing it into two opposite corners, where both stop, makes the two agree.
sync_pointer() {
    DISPLAY=$XV xdotool mousemove 0 0
    sleep 0.2
    DISPLAY=$XV xdotool mousemove 1279 1023
    sleep 0.2
}

# Starts the program as a Wayland session would, with no platform named: it must pick X11.
# Without WL, as an X session.
start_in_session() {
    local session=(WAYLAND_DISPLAY="$WL" XDG_SESSION_TYPE=wayland)
    [ -n "${WL:-}" ] || session=(XDG_SESSION_TYPE=x11)
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$XW" "${session[@]}" \
        "$NAGOMI" 2>"$WORK/stderr" &
    pid=$!
    PIDS+=($pid)
}

shot() {
    if [ -n "${GRIM:-}" ]; then
        WAYLAND_DISPLAY=$WL grim -t ppm - | convert ppm:- -type TrueColor "BMP3:$1"
    else
        DISPLAY=$XV import -window root -type TrueColor "BMP3:$1"
    fi
}

# Waits until the compositor has drawn its desktop (two shots alike, the middle not black) and
# keeps the last shot in FILE.
wait_desktop() {
    local prev="$WORK/desk-prev.bmp"
    shot "$prev"
    for _ in $(seq 50); do
        sleep 0.2
        shot "$1"
        if cmp -s "$prev" "$1" &&
            { [ "${BLACK_DESKTOP:-0}" = 1 ] ||
                [ "$(convert "$1" -format '%[pixel:p{640,512}]' info:)" != "srgb(0,0,0)" ]; }; then
            return 0
        fi
        cp "$1" "$prev"
    done
    fail "the compositor drew no steady desktop"
}

# Polls until the window (picture, mask) shows at X Y with its picture exactly inside its
# outline; prints the last comparison "inside N differ D outside M same S dimmed K other O".
# Extra arguments: a rectangle of the picture to leave out.
wait_outline() {
    local desk="$1" pic="$2" mask="$3" x="$4" y="$5" out=""
    shift 5
    for _ in $(seq 50); do
        shot "$WORK/now.bmp"
        out=$("$TOOLS/outline_probe" "$WORK/now.bmp" "$desk" "$pic" "$mask" "$x" "$y" "$@")
        read -r _ inside _ differ _ <<<"$out"
        [ "$inside" -gt 1000 ] && [ "$differ" = 0 ] && break
        sleep 0.1
    done
    echo "$out"
}

# Starts her at 700,300 and leaves her running, the
# balloon hidden again, with `win`, `pid`, `deskshot` (the desktop without her), `ix iy` (a
# point of her picture) set. ALLOW_DIMMED=1: the compositor may shade the desktop evenly
# around a window (weston draws a drop shadow behind every undecorated window).
check_look() {
    app=$(app_dir 1)
    cp "$DATA/fukidasi.bmp" "$app/"
    cd "$app"
    # No clock over her; the balloon lingers 1.5 s after its last line.
    write_ini 'Top=300\r\nLeft=700\r\nShowCalender=0\r\nShowTime=0\r\nisLog=1\r\nSerifuInterval=300\r\nFukidasiInterval=1500\r\n'
    sync_pointer
    deskshot="$WORK/desk.bmp"
    wait_desktop "$deskshot"

    start_in_session
    # Her window is on Xwayland: she chose X11 herself, with a visual that has an alpha channel.
    win=$(DISPLAY=$XW wait_window Mainform)
    DISPLAY=$XW xwininfo -id "$win" | grep -q 'Depth: 32' ||
        fail "her window has no alpha channel: $(DISPLAY=$XW xwininfo -id "$win" | grep Depth)"
    read -r _ inside _ differ _ outside _ same _ dimmed _ other < <(
        wait_outline "$deskshot" pikprsn.bmp pikprsn.bmp.msk 700 300)
    echo "her: inside $inside differ $differ outside $outside same $same dimmed $dimmed other $other" >&2
    [ "$inside" -gt 1000 ] && [ "$differ" = 0 ] ||
        fail "her picture is not shown exactly inside her outline ($differ of $inside differ)"
    [ "$other" = 0 ] || fail "a box around her: $other pixels outside her outline are not the desktop"
    [ "${ALLOW_DIMMED:-0}" = 1 ] || [ "$dimmed" = 0 ] || fail "$dimmed pixels around her are shaded"
    read -r ix iy < <(inner_point pikprsn.bmp.msk)
}

# After check_look: a click on her makes her speak, the balloon beside her in its outline.
check_balloon() {
    # A click on her: she tells the time in the balloon, beside her, in its own outline.
    local herdesk="$WORK/her.bmp"
    shot "$herdesk"
    DISPLAY=$XV xdotool mousemove "$((700 + ix))" "$((300 + iy))"
    sleep 0.2
    DISPLAY=$XV xdotool click 1
    local balloon
    balloon=$(DISPLAY=$XW wait_window Fukidasi)
    DISPLAY=$XW xwininfo -id "$balloon" | grep -q 'Depth: 32' || fail "the balloon has no alpha channel"
    # The text pane is left out: the letters are drawn over the picture.
    read -r _ inside _ differ _ outside _ same _ dimmed _ other < <(
        wait_outline "$herdesk" fukidasi.bmp fukidasi.msk $((700 - 279)) $((300 + 191 - 230)) 17 18 243 180)
    echo "balloon: inside $inside differ $differ outside $outside same $same dimmed $dimmed other $other" >&2
    [ "$inside" -gt 1000 ] && [ "$differ" = 0 ] ||
        fail "the balloon is not beside her as it should be ($differ of $inside pixels differ)"
    [ "$other" = 0 ] || fail "a box around the balloon: $other pixels"
    [ "${ALLOW_DIMMED:-0}" = 1 ] || [ "$dimmed" = 0 ] || fail "$dimmed pixels around the balloon are shaded"
    for _ in $(seq 100); do
        [ -z "$(DISPLAY=$XW xdotool search --onlyvisible --name '^Fukidasi$' 2>/dev/null)" ] && break
        sleep 0.1
    done
    [ -z "$(DISPLAY=$XW xdotool search --onlyvisible --name '^Fukidasi$' 2>/dev/null)" ] ||
        fail "the balloon did not hide"
}

# After check_look and check_balloon: a drag by (40, 20) moves her on the screen without a word,
# and the place she is at when the session ends is the one kept.
check_drag() {
    local lines px py wx wy
    lines=$(wc -l <piklog.txt)
    px=$((700 + ix))
    py=$((300 + iy))
    DISPLAY=$XV xdotool mousemove "$px" "$py"
    sleep 0.2
    DISPLAY=$XV xdotool mousedown 1
    sleep 0.2
    for step in 1 2 3 4; do
        DISPLAY=$XV xdotool mousemove "$((px + 10 * step))" "$((py + 5 * step))"
        sleep 0.1
    done
    DISPLAY=$XV xdotool mouseup 1
    sleep 0.1
    DISPLAY=$XV xdotool mousemove 1279 1023 # the pointer off her picture for the screenshot
    read -r _ inside _ differ _ outside _ same _ dimmed _ other < <(
        wait_outline "$deskshot" pikprsn.bmp pikprsn.bmp.msk 740 320)
    [ "$differ" = 0 ] && [ "$other" = 0 ] && [ "$dimmed" = 0 ] ||
        fail "after the drag she is not shown at 740,320 ($differ differ, $other other, $dimmed dimmed)"
    read -r wx wy < <(DISPLAY=$XW window_pos "$win")
    [ "$wx $wy" = "740 320" ] || fail "she thinks she is at $wx $wy after the drag"
    sleep 1.2
    [ "$(wc -l <piklog.txt)" = "$lines" ] || fail "the drag spoke"
    kill -TERM "$pid"
    wait_exit "$pid"
    grep -q $'^Top=320\r$' pikmain.ini && grep -q $'^Left=740\r$' pikmain.ini ||
        fail "the place after the drag was not kept"
}
