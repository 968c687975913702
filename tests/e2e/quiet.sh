#!/usr/bin/env bash
# Her sounds against a real PulseAudio null sink, recorded, with her clock pinned a second before
# the hour so that the time signal comes at once: with "しずかに" (Quiet=1) nothing reaches the
# sink while the signal's line is still spoken; at Volume=50 the signal is heard at half the
# amplitude of the same file at full volume. Then, under openbox, with HideOnFullscreen=1: a
# full-screen window made active hides her windows within a second, and they come back, the
# same ones, when it leaves full screen and when such a window goes away.
source "$(dirname "$0")/lib.sh"
start_xvfb
start_openbox
start_pulse nagomi_test
record_sink nagomi_test
now() { date +%s%3N; }

# Starts her in app folder $1 at 09:59:59 (her clock only; the sink's runs on) and waits until
# the time signal's line is in her log; sets `line` to when it was found.
start_at_hour() {
    cd "$1"
    start_her_at '2024-05-01 09:59:59' "$WORK/stderr"
    for _ in $(seq 300); do
        if iconv -f CP932 -t UTF-8 piklog.txt 2>/dev/null | grep -q '10時をお知らせしま～す★'; then
            line=$(now)
            return 0
        fi
        sleep 0.05
    done
    fail "no time signal line in the log"
}

stop_her() {
    kill -TERM "$pid"
    wait_status "$pid" "nagomi"
    [ "$status" = 0 ] || fail "she ended with $status: $(cat "$WORK/stderr")"
}

cp "$DATA/chime.wav" "$WORK/"
# shellcheck disable=SC2059
ini() { printf "Oclock=1\r\nVoiceFile=$WORK/chime.wav\r\nisLog=1\r\nSerifuInterval=100\r\nFukidasiInterval=200\r\n$1" >pikmain.ini; }

# Quiet: the signal's line, no sound.
app=$(app_dir 1)
(cd "$app" && ini 'Quiet=1\r\n')
quiet_start=$(now)
start_at_hour "$app"
quiet_line=$line
sleep 3
stop_her
grep -q $'^Quiet=1\r$' "$app/pikmain.ini" || fail "Quiet not kept in the settings"

# The same file at full volume through the same sound service, for the reference.
cd "$DATA"
SDL_AUDIODRIVER=pulseaudio "$TOOLS/sound_probe" sync:"$WORK/chime.wav" >"$WORK/steps" 2>&1
full_start=$(awk '$1 == "begin" {print $2}' "$WORK/steps")
full_end=$(awk '$1 == "sync" {print $2}' "$WORK/steps")
sleep 0.8

# Volume=50, and the hiding at full screen in the same run.
app=$(app_dir 2)
(cd "$app" && ini 'Volume=50\r\nHideOnFullscreen=1\r\nShowCalender=1\r\nCalX=700\r\nCalY=500\r\n')
half_start=$(now)
start_at_hour "$app"
half_line=$line
sleep 0.8
end=$(now)
kill "$parec"
wait "$parec" 2>/dev/null || true
# The recording ran on the sink's clock: count back from its end.
start=$((end - $(stat -c %s "$WORK/rec.raw") * 1000 / 176400))
"$TOOLS/audio_probe" "$WORK/rec.raw" "$start" >"$WORK/levels"
peak() { awk -v a="$1" -v b="$2" '$1 >= a && $1 < b && $2 > m {m = $2} END {print m + 0}' "$WORK/levels"; }
# The sound's whole energy between two times: independent of where the 50 ms windows fall.
energy() { awk -v a="$1" -v b="$2" '$1 >= a && $1 < b {e += $2 * $2} END {printf "%.0f\n", e}' "$WORK/levels"; }

# The signal would have sounded right after her start; the line shows when it came. Sound
# reaches the recording up to ~0.6 s late.
quiet_peak=$(peak "$quiet_start" "$((quiet_line + 3000))")
echo "quiet: the loudest 50 ms on the sink at $quiet_peak"
[ "$quiet_peak" -lt 300 ] || fail "quiet, yet the sink heard a level of $quiet_peak"
full=$(energy "$full_start" "$((full_end + 800))")
half=$(energy "$half_start" "$((half_line + 800))")
[ "$full" -gt 0 ] || fail "the reference was not heard"
ratio=$(awk -v h="$half" -v f="$full" 'BEGIN {printf "%.3f\n", sqrt(h / f)}')
echo "amplitude at Volume=50: $ratio of full (peaks $(peak "$half_start" "$((half_line + 800))") and $(peak "$full_start" "$((full_end + 800))"))"
awk -v r="$ratio" 'BEGIN {exit !(r > 0.45 && r < 0.55)}' || fail "Volume=50 played at $ratio of full amplitude"
echo "ok: quiet and volume"

# Full screen. Her windows now: the character and the calendar (the balloon has gone).
win=$(wait_window Mainform)
mine() { xdotool search --onlyvisible --classname nagomi 2>/dev/null | sort | tr '\n' ' '; }
shown=$(mine)
[ "$(wc -w <<<"$shown")" = 2 ] || fail "expected her and the calendar, found: $shown"
"$TOOLS/fullscreen_probe" window film &
film_pid=$!
PIDS+=($film_pid)
film=$(wait_window film)
xdotool windowactivate --sync "$film"
# Waits until $1 holds (a command line), at most a second; prints the milliseconds it took.
within_second() {
    local t0 t
    t0=$(now)
    while ! eval "$1"; do
        t=$(now)
        [ "$((t - t0))" -le 1000 ] || return 1
        sleep 0.02
    done
    echo "$(($(now) - t0))"
}
"$TOOLS/fullscreen_probe" "$film" on
took=$(within_second '[ -z "$(mine)" ]') || fail "still shown at full screen: $(mine)"
echo "hidden $took ms after the film went full screen"
"$TOOLS/fullscreen_probe" "$film" off
took=$(within_second '[ "$(mine)" = "$shown" ]') || fail "not back after full screen: $(mine)"
echo "back $took ms after it left full screen"
[ "$(xdotool getactivewindow)" = "$film" ] || fail "coming back, she took the focus from the film"
"$TOOLS/fullscreen_probe" "$film" on
within_second '[ -z "$(mine)" ]' >/dev/null || fail "not hidden at full screen again"
kill "$film_pid"
took=$(within_second '[ "$(mine)" = "$shown" ]') || fail "not back after the film closed: $(mine)"
echo "back $took ms after the full-screen window went away"
stop_her
grep -q $'^Volume=50\r$' "$app/pikmain.ini" || fail "Volume not kept in the settings"
echo "ok: full screen"
