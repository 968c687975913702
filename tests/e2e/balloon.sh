#!/usr/bin/env bash
# The balloon on a real X server: its shape is its mask, the picture shows around and between
# the letters of a line (the pane has no background of its own), the Japanese text is drawn in
# an IPA face, and a new burst shows no trace of the text of an earlier one.
source "$(dirname "$0")/lib.sh"
start_xvfb
fc-match 'IPAPGothic' | grep -qi ipa || fail "IPA fonts are not installed"
app=$(app_dir 1)
cp "$DATA/fukidasi.bmp" "$app/"
cd "$app"
# The balloon lingers 3 s after the last line: time enough for the screenshot on a busy machine.
write_ini 'Top=500\r\nLeft=700\r\nisLog=1\r\nSerifuInterval=300\r\nFukidasiInterval=3000\r\nShowCalender=0\r\n'

mkfifo "$WORK/say"
"$TOOLS/balloon_probe" <"$WORK/say" >/dev/null 2>"$WORK/stderr" &
PIDS+=($!)
exec 4>"$WORK/say"
wait_window Mainform >/dev/null

shot() { import -window root -type TrueColor "BMP3:$WORK/shot.bmp"; }
pane() { "$TOOLS/pixel_probe" "$WORK/shot.bmp" fukidasi.bmp "$bx" "$by" 17 18 243 180; }

echo "ぴんぽんぱんぽーん！ 12時をお知らせしま～す★ ながい行は折り返して表示されます。" >&4
echo "二行目です。" >&4
echo "三行目もあります。" >&4
win=$(wait_window Fukidasi)
"$TOOLS/shape_probe" window "$win" >"$WORK/window.txt"
"$TOOLS/shape_probe" mask fukidasi.msk >"$WORK/mask.txt"
cmp -s "$WORK/mask.txt" "$WORK/window.txt" || fail "balloon shape differs from its mask"
read -r bx by < <(window_pos "$win")
[ "$bx $by" = "$((700 - 279)) $((500 + 191 - 230))" ] || fail "balloon at $bx $by"
sleep 1.2 # all three lines shown
shot
cp "$WORK/shot.bmp" "$WORK/burst1.bmp"
read -r _ diff _ x0 y0 x1 y1 _ inbox < <(pane)
[ "$diff" -gt 200 ] || fail "no text drawn in the pane ($diff pixels)"
# Glyphs cover only part of the box they lie in: a background behind the text would cover it.
[ $((diff * 100 / inbox)) -lt 60 ] || fail "the pane hides the picture: $diff of $inbox pixels differ"
[ "$y1" -gt 60 ] || fail "the three lines do not pile up (text ends at row $y1)"

# After the balloon has hidden, a new burst of one short line: nothing of the old text remains.
for _ in $(seq 100); do
    [ -z "$(xdotool search --onlyvisible --name '^Fukidasi$' 2>/dev/null)" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^Fukidasi$' 2>/dev/null)" ] || fail "balloon did not hide"
echo "あ" >&4
wait_window Fukidasi >/dev/null
sleep 0.3
shot
read -r _ diff _ x0 y0 x1 y1 _ inbox < <(pane)
[ "$diff" -gt 5 ] || fail "the new line is not drawn"
[ "$y1" -lt 40 ] && [ "$x1" -lt 60 ] || fail "old text remains: differences reach ($x1, $y1)"

# Hidden character: the line is logged, the balloon stays away.
for _ in $(seq 100); do
    [ -z "$(xdotool search --onlyvisible --name '^Fukidasi$' 2>/dev/null)" ] && break
    sleep 0.1
done
echo "!hide" >&4
echo "かくれんぼ" >&4
sleep 1
[ -z "$(xdotool search --onlyvisible --name '^Fukidasi$' 2>/dev/null)" ] || fail "balloon shown while hidden"
iconv -f CP932 -t UTF-8 piklog.txt | grep -q ' かくれんぼ' || fail "hidden line not logged"
cp "$WORK/burst1.bmp" "${NAGOMI_SHOTS:-$WORK}/balloon.bmp" 2>/dev/null || true
echo "ok: balloon"
