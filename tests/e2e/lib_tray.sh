# Helpers for the tests that use her tray icon: the StatusNotifierItem host's bar and menu, and
# the icon docked in an XEmbed tray (trayer). Sourced after lib.sh.

# The items the StatusNotifierItem watcher lists.
sni_items() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null | grep -o 'StatusNotifierItem-[0-9]*' || true
}

# Waits until the watcher lists the item of process $1 and the host has drawn it in its bar (the
# 1280-wide window of the host at the bottom); sets ix iy to the icon's centre.
wait_sni_icon() {
    local pid="$1" box=""
    for _ in $(seq 100); do
        sni_items | grep -qx "StatusNotifierItem-$pid" && break
        sleep 0.1
    done
    sni_items | grep -qx "StatusNotifierItem-$pid" || fail "the host does not list her item: $(sni_items)"
    for _ in $(seq 50); do
        import -window root "$WORK/shot.png"
        box=$(convert "$WORK/shot.png" -crop 1280x32+0+992 +repage -bordercolor black -border 1 \
            -fuzz 2% -trim -format '%w %h %X %Y' info:)
        read -r bw bh bx by <<<"$box"
        [ "$bw" -ge 16 ] && [ "$bh" -ge 16 ] && break
        sleep 0.1
    done
    [ "$bw" -ge 16 ] && [ "$bh" -ge 16 ] || fail "no icon drawn in the host's bar ($box)"
    ix=$((bx - 1 + bw / 2))
    iy=$((992 + by - 1 + bh / 2))
}

# A right press on the SNI icon at ix iy, then the keys that walk the menu the host draws.
sni_menu() {
    xdotool mousemove "$ix" "$iy"
    sleep 0.2
    xdotool click 3
    local w
    for _ in $(seq 40); do
        for w in $(xdotool search --onlyvisible --classname gtk-sni-tray-standalone 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            if [ "$HEIGHT" -gt 100 ] && [ "$WIDTH" -lt 600 ]; then
                sleep 0.2
                xdotool key "$@"
                return 0
            fi
        done
        sleep 0.05
    done
    fail "a right press on the icon opened no menu"
}

# An XEmbed tray at the bottom right; sets tray to its pid.
start_trayer() {
    trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
    tray=$!
    PIDS+=($tray)
}

# Her icon docked in the XEmbed tray: a small viewable window of hers at the bottom of the
# screen. Sets icon.
xembed_docked() {
    local w
    icon=""
    for w in $(xdotool search --onlyvisible --classname nagomi 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -le 32 ] && [ "$HEIGHT" -le 32 ] && [ "$Y" -gt 900 ] && icon=$w
    done
    [ -n "$icon" ]
}
wait_xembed_docked() {
    for _ in $(seq 200); do
        xembed_docked && return 0
        sleep 0.05
    done
    fail "$1"
}

# A right press on the docked icon (her window $1 is not the menu), then keys for her menu.
xembed_menu() {
    local win="$1"
    shift
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))"
    sleep 0.2
    xdotool click 3
    wait_her_menu "$win" "a right press on the docked icon opened no menu"
    xdotool key "$@"
}
