#!/usr/bin/env bash
# The sound service against a real PulseAudio null sink, recorded: a synchronous sound returns
# only after it was heard; a loop sounds until stopped; a new sound replaces a looping one; and
# without any audio device nothing fails.
source "$(dirname "$0")/lib.sh"
start_pulse nagomi_test
record_sink nagomi_test
cd "$DATA"
SDL_AUDIODRIVER=pulseaudio "$TOOLS/sound_probe" sync:chime.wav sleep:500 loop:alarm.wav \
    sleep:4000 stop sleep:800 loop:alarm.wav sleep:700 async:mail.wav sleep:2000 \
    >"$WORK/steps" 2>"$WORK/stderr"
sleep 0.3
# The recording ends now and ran on the sink's clock: count back from its end.
end=$(date +%s%3N)
kill "$parec"
wait "$parec" 2>/dev/null || true
start=$((end - $(stat -c %s "$WORK/rec.raw") * 1000 / 176400))
"$TOOLS/audio_probe" "$WORK/rec.raw" "$start" >"$WORK/levels"
step() { awk -v s="$1" '$1 == s {print $2}' "$WORK/steps" | sed -n "${2:-1}p"; }
# Loudest window between two wall-clock times.
peak() { awk -v a="$1" -v b="$2" '$1 >= a && $1 < b && $2 > m {m = $2} END {print m + 0}' "$WORK/levels"; }
# Last loud window before a time.
last_loud() { awk -v b="$1" '$1 < b && $2 > 300 {t = $1} END {printf "%.0f\n", t}' "$WORK/levels"; }

# Sound reaches the recording a little late (the sink's and the recorder's buffers); the
# windows below allow for up to ~0.6 s of that.
begin=$(step begin)
synced=$(step sync)
first=$(awk -v a="$begin" '$1 >= a && $2 > 300 {print $1; exit}' "$WORK/levels")
[ -n "$first" ] || fail "chime not heard"
heard_end=$(last_loud "$((synced + 400))")
[ "$((synced - begin))" -ge 2100 ] || fail "synchronous sound returned after $((synced - begin)) ms"
[ "$((heard_end - first))" -ge 2000 ] || fail "chime heard for only $((heard_end - first)) ms"
[ "$heard_end" -le "$((synced + 600))" ] || fail "sound went on $((heard_end - synced)) ms after the call returned"

looped=$(step loop 1)
stopped=$(step stop)
[ "$(peak "$((looped + 2600))" "$((looped + 3800))")" -gt 1000 ] || fail "loop did not repeat past its length"
[ "$(peak "$((stopped + 700))" "$((stopped + 800))")" -lt 300 ] || fail "sound went on after stop"

replaced=$(step async)
[ "$(peak "$((replaced + 300))" "$((replaced + 800))")" -gt 1000 ] || fail "new sound not heard"
[ "$(peak "$((replaced + 1500))" "$((replaced + 2000))")" -lt 300 ] || fail "the loop went on after a new sound replaced it"

# No audio device: silence, one warning, no failure.
PULSE_SERVER=unix:/nonexistent SDL_AUDIODRIVER=pulseaudio "$TOOLS/sound_probe" sync:chime.wav \
    loop:alarm.wav stop >"$WORK/steps2" 2>"$WORK/stderr2" || fail "no device made the service fail"
[ "$(grep -c 'no audio device' "$WORK/stderr2")" = 1 ] || fail "expected one warning: $(cat "$WORK/stderr2")"
b=$(awk '$1=="begin"{print $2}' "$WORK/steps2"); e=$(awk '$1=="sync"{print $2}' "$WORK/steps2")
[ "$((e - b))" -lt 1000 ] || fail "synchronous play without a device waited $((e - b)) ms"
echo "ok: sound"
