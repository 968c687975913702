#!/usr/bin/env bash
# `cmake --install` to a prefix: a desktop entry that passes desktop-file-validate, names her in
# Japanese and English and starts the launcher; her icon in several hicolor sizes; the launcher
# makes the data folder, seeds it without overwriting the user's files and starts her there;
# a second start through the entry ends at once; --autostart on/off places and removes the
# entry in the autostart folder; a copy cut short is completed, never kept. Arguments: NAGOMI TOOLS_DIR DATA_DIR BUILD_DIR.
source "$(dirname "$0")/lib.sh"
BUILD=$(realpath "$4")
prefix="$WORK/pre fix" # a space, as a user's home may have
cmake --install "$BUILD" --prefix "$prefix" >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log" >&2; fail "cmake --install failed"; }

entry="$prefix/share/applications/nagomi.desktop"
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" >"$WORK/validate" 2>&1 || { cat "$WORK/validate" >&2; fail "invalid entry"; }
grep -qx 'Name=Nagomi' "$entry" || fail "no English name"
grep -qx 'Name\[ja\]=なごみ' "$entry" || fail "no Japanese name"
grep -q '^Comment=' "$entry" && grep -q '^Comment\[ja\]=' "$entry" || fail "no comments"
grep -qx 'Icon=nagomi' "$entry" || fail "no icon name"
for size in 16 32 48 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x$size/apps/nagomi.png"
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x$size" ] || fail "icon $size is wrong"
done
[ -x "$prefix/libexec/nagomi/nagomi" ] || fail "no program"
[ -f "$prefix/share/nagomi/pikprsn.bmp" ] && [ -f "$prefix/share/nagomi/help.rtf" ] ||
    fail "no default data"
[ -e "$prefix/share/nagomi/gen" ] && fail "the data generator was installed"

# What the entry starts, as a desktop would: Exec's program, unquoted.
exec_line=$(sed -n 's/^Exec=//p' "$entry")
launcher=${exec_line#\"}
launcher=${launcher%\"}
[ "$launcher" = "$prefix/bin/nagomi" ] || fail "Exec is $exec_line"

start_xvfb
export HOME="$WORK/home" XDG_DATA_HOME="$WORK/home/data" XDG_CONFIG_HOME="$WORK/home/config"
mkdir -p "$HOME" "$XDG_DATA_HOME/nagomi"
folder="$XDG_DATA_HOME/nagomi"
printf 'mine\n' >"$folder/help.rtf" # the user's own file stays
# A copy an earlier start cut short (a full disk) is no file of the user's: it is made whole.
head -c 53248 "$prefix/share/nagomi/chime.wav" >"$folder/chime.wav"
cd "$WORK"
"$launcher" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
wait_window Mainform >/dev/null
[ "$(readlink "/proc/$pid/cwd")" = "$folder" ] || fail "she works in $(readlink "/proc/$pid/cwd")"
[ "$(readlink "/proc/$pid/exe")" = "$prefix/libexec/nagomi/nagomi" ] || fail "the launcher did not exec her"
for f in pikprsn.bmp fukidasi.bmp back.bmp Version.txt index.html chime.wav; do
    cmp -s "$prefix/share/nagomi/$f" "$folder/$f" || fail "$f was not copied"
done
[ "$(cat "$folder/help.rtf")" = mine ] || fail "the user's help.rtf was overwritten"
[ -e "$folder/pikprsn.bmp.msk" ] || fail "no mask made in the data folder"

timeout 20 "$launcher" 2>>"$WORK/stderr" || fail "a second start through the launcher failed"
[ "$(xdotool search --onlyvisible --name '^Mainform$' | wc -l)" -eq 1 ] || fail "two characters"
kill -TERM "$pid"
wait_exit "$pid"
[ -f "$folder/pikmain.ini" ] || fail "the settings were not saved in the data folder"

"$launcher" --autostart on >/dev/null || fail "--autostart on failed"
cmp -s "$entry" "$XDG_CONFIG_HOME/autostart/nagomi.desktop" || fail "no autostart entry"
"$launcher" --autostart off >/dev/null || fail "--autostart off failed"
[ -e "$XDG_CONFIG_HOME/autostart/nagomi.desktop" ] && fail "the autostart entry stayed"
"$launcher" --bogus 2>/dev/null && fail "an unknown option was accepted"
"$launcher" --help >"$WORK/help" 2>&1 || fail "--help ended with status $?"
grep -q '^usage: nagomi' "$WORK/help" || fail "--help printed no usage: $(cat "$WORK/help")"

# A disk that fills during the first copy (a file size limit here) leaves each default whole or
# absent, never cut; the next start completes them. The launcher runs from a copy of the prefix
# whose program only ends, so nothing but the copy is under the limit.
fake="$WORK/fake"
mkdir -p "$fake/bin" "$fake/libexec/nagomi"
cp "$launcher" "$fake/bin/nagomi"
printf '#!/bin/sh\nexit 0\n' >"$fake/libexec/nagomi/nagomi"
chmod +x "$fake/libexec/nagomi/nagomi"
ln -s "$prefix/share" "$fake/share"
full="$WORK/full/nagomi"
(trap '' XFSZ; ulimit -f 60; XDG_DATA_HOME="$WORK/full" "$fake/bin/nagomi") 2>"$WORK/full.err" || true
[ -s "$WORK/full.err" ] || fail "no word of the files that could not be copied"
for f in "$prefix/share/nagomi"/*; do
    [ -f "$f" ] || continue
    to="$full/${f##*/}"
    [ ! -e "$to" ] || cmp -s "$f" "$to" || fail "${f##*/} was left cut ($(stat -c %s "$to") bytes)"
done
ls -a "$full" | grep -q 'nagomi-' && fail "temporary copies were left: $(ls -a "$full")"
XDG_DATA_HOME="$WORK/full" "$fake/bin/nagomi" || fail "the second start failed"
for f in "$prefix/share/nagomi"/*; do
    [ -f "$f" ] || continue
    cmp -s "$f" "$full/${f##*/}" || fail "${f##*/} not completed by the second start"
done
echo "ok: install"
