#!/usr/bin/env bash
# Her size: at 200 % her window, outline, clock label and balloon are twice the design's; the
# outline is that of the scaled picture (a transparent pixel inside her reaches the window
# below), is cached per size and reused, and her top-left corner stays where the file puts it.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(app_dir 1)
cp "$DATA/fukidasi.bmp" "$app/"
cd "$app"

# The clock label on pure green, so a screenshot tells its box.
write_ini 'Left=700\r\nTop=300\r\nShowCalender=0\r\nClockFontBGColor=65280\r\nFukidasiInterval=5000\r\n'
# The label's box once it is drawn (its width follows the time it shows: her clock is pinned).
label_box() {
    local box
    for _ in $(seq 50); do
        import -window root -type TrueColor "$WORK/shot.png"
        box=$(convert "$WORK/shot.png" -fill black +opaque '#00FF00' -trim -format '%w %h %X %Y' info:)
        [ "${box%% *}" -gt 1 ] && break
        sleep 0.1
    done
    echo "$box"
}
size_of() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$WIDTH $HEIGHT"
}
# A short click on her: she tells the time in the balloon. Prints the balloon's id.
balloon_after_click() {
    xdotool mousemove "$1" "$2" click 1
    wait_window Fukidasi
}

# The design size first, for the label's box.
start_her_at '2024-05-01 12:30:00' "$WORK/stderr1"
win=$(wait_window Mainform)
read -r lw1 lh1 _ < <(label_box)
kill -TERM "$pid"
wait_exit "$pid"
[ "$lw1" -gt 20 ] && [ "$lh1" -gt 10 ] || fail "no clock label at 100 %: ${lw1}x$lh1"

rm pikprsn.bmp.msk fukidasi.msk
sed -i 's/^CharScale=100\r$/CharScale=200\r/' pikmain.ini
grep -q $'^CharScale=200\r$' pikmain.ini || fail "no CharScale in the saved file"
for run in 1 2; do
    # A cache made again is a new file (written beside and renamed): another inode.
    [ "$run" = 2 ] && before=$(stat -c '%i %Y' pikprsn.bmp.200.msk)
    start_her_at '2024-05-01 12:30:00' "$WORK/stderr-200-$run"
    win=$(wait_window Mainform)
    [ -f pikprsn.bmp.200.msk ] || fail "no outline cache for 200 %"
    [ "$run" = 1 ] || [ "$(stat -c '%i %Y' pikprsn.bmp.200.msk)" = "$before" ] ||
        fail "the cache for 200 % was made again"
    [ "$(size_of "$win")" = "401 381" ] || fail "run $run: her window is $(size_of "$win")"
    [ "$(window_pos "$win")" = "700 300" ] || fail "run $run: her corner at $(window_pos "$win")"
    read -r _ w h _ differ _ hx hy _ ix iy < <("$TOOLS/shape_probe" scaled "$win" pikprsn.bmp 200)
    [ "$w $h" = "400 380" ] || fail "scaled picture $w x $h"
    [ "$differ" = 0 ] || fail "run $run: her outline differs from the scaled picture's on $differ pixels"
    [ "$hx" -gt 0 ] && [ "$ix" -gt 0 ] || fail "no hole or inner point found"
    xdotool mousemove $((700 + hx)) $((300 + hy))
    sleep 0.1
    eval "$(xdotool getmouselocation --shell)"
    [ "$WINDOW" != "$win" ] || fail "a transparent pixel inside her box hit her window"
    read -r lw2 lh2 lx ly < <(label_box)
    # Text does not scale exactly (hinting): about twice, at its place times two.
    [ $((lw2 * 10 / lw1)) -ge 17 ] && [ $((lw2 * 10 / lw1)) -le 23 ] &&
        [ $((lh2 * 10 / lh1)) -ge 17 ] && [ $((lh2 * 10 / lh1)) -le 23 ] ||
        fail "clock label ${lw2}x$lh2 against ${lw1}x$lh1 at 100 %"
    [ "$lx" -ge $((700 + 83 * 2 - 2)) ] && [ "$lx" -le $((700 + 83 * 2 + 2)) ] ||
        fail "clock label at x $lx"
    if [ "$run" = 1 ]; then
        bwin=$(balloon_after_click $((700 + ix)) $((300 + iy)))
        [ "$(size_of "$bwin")" = "559 461" ] || fail "balloon is $(size_of "$bwin")"
        [ -f fukidasi.200.msk ] || fail "no balloon outline cache for 200 %"
        read -r _ _ _ _ bdiffer _ < <("$TOOLS/shape_probe" scaled "$bwin" fukidasi.bmp 200)
        [ "$bdiffer" = 0 ] || fail "balloon outline differs on $bdiffer pixels"
        [ "$(window_pos "$bwin")" = "$((700 - 558)) $((300 + 381 - 460))" ] ||
            fail "balloon at $(window_pos "$bwin"), not beside her"
    fi
    kill -TERM "$pid"
    wait_exit "$pid"
done
[ ! -f pikprsn.bmp.msk ] && [ ! -f fukidasi.msk ] ||
    fail "the design size's outline was made at 200 %"
grep -q $'^ClockX=83\r$' pikmain.ini || fail "the label's place was saved at her size"
grep -q $'^Left=700\r$' pikmain.ini || fail "her place was not kept"
echo "ok: scale"
