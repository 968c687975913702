#!/usr/bin/env bash
# The clock set as a person at her desktop has it: the program runs as an unprivileged user,
# so the clock goes through the system's time service. A private system bus carries a recording
# stand-in for the service; a scripted SNTP server on 127.0.0.4:123 is an hour ahead. Nothing
# here can set the machine's clock: the stand-in sets nothing, and the probe refuses to run
# with the right to set it.
source "$(dirname "$0")/../e2e/lib.sh"
chmod 711 "$WORK"
# The probe where the unprivileged user can run it, whatever the build folder's rights.
mkdir -m 755 "$WORK/bin"
cp "$TOOLS/ntp_probe" "$WORK/bin/"
bus="$WORK/bus"
mkdir -m 755 "$bus"
cat >"$bus/system.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$bus/socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$bus/system.conf" --nofork >"$bus/log" 2>&1 &
PIDS+=($!)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$bus/socket"
for _ in $(seq 100); do [ -S "$bus/socket" ] && break; sleep 0.05; done
[ -S "$bus/socket" ] || fail "the private system bus did not start: $(cat "$bus/log")"

# Starts the stand-in with ARGS; sets standin.
start_standin() {
    : >"$WORK/standin" # appended to: a case truncates it while the stand-in runs
    "$TOOLS/timedate_standin" "$@" >>"$WORK/standin" 2>"$WORK/standin.err" &
    standin=$!
    PIDS+=($standin)
    for _ in $(seq 100); do grep -q '^ready$' "$WORK/standin" && return 0; sleep 0.05; done
    fail "the stand-in did not start: $(cat "$WORK/standin.err")"
}
stop_standin() {
    kill "$standin"
    wait "$standin" 2>/dev/null || true
}
# Starts the scripted server, OFFSET seconds off, on 127.0.0.4:123 (not the default server's
# address: no other program of ours that adjusts is led an hour off); sets peer.
start_peer() {
    "$TOOLS/sntp_peer" 127.0.0.4 "$1" >"$WORK/peer" 2>&1 &
    peer=$!
    PIDS+=($peer)
    for _ in $(seq 100); do grep -q '^ready$' "$WORK/peer" && return 0; sleep 0.05; done
    fail "the scripted server did not start: $(cat "$WORK/peer")"
}
stop_peer() {
    kill "$peer"
    wait "$peer" 2>/dev/null || true
}
# The probe as nobody with the program's own clock setter: ntp_probe's arguments after HOST.
probe() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$WORK/bin/ntp_probe" 127.0.0.4 "$@" system >"$WORK/out" 2>"$WORK/err" ||
        fail "the probe failed: $(cat "$WORK/err")"
}
calls() { grep -c '^SetTime ' "$WORK/standin" || true; }
line='say 時計が 3600 秒ずれていますが，合わせられませんでした．'
said() { grep -cxF "$line" "$WORK/out" || true; }

# An hour off, the zone as set: SetTime once, absolute, the server's time, the agent allowed.
start_peer 3600
start_standin record
t0=$(date +%s%N)
TZ=Asia/Tokyo probe 2500 zone=9
t1=$(date +%s%N)
[ "$(calls)" = 1 ] || fail "SetTime called $(calls) times: $(cat "$WORK/standin" "$WORK/err")"
read -r _ usec relative interactive agent < <(grep '^SetTime ' "$WORK/standin")
[ "$relative $interactive $agent" = "0 1 1" ] ||
    fail "SetTime relative=$relative interactive=$interactive agent=$agent"
lo=$((t0 / 1000 + 3600000000 - 2000000))
hi=$((t1 / 1000 + 3600000000 + 2000000))
[ "$usec" -ge "$lo" ] && [ "$usec" -le "$hi" ] ||
    fail "SetTime $usec, wanted an hour after $((t0 / 1000)) (within 2 s)"
echo "SetTime $(((usec - t0 / 1000 - 3600000000) / 1000)) ms after the hour from the probe's start"
[ "$(grep -c '^say ' "$WORK/out")" = 0 ] || fail "a setting that worked spoke: $(cat "$WORK/out")"
grep -q NTPTimezone "$WORK/err" && fail "the zone as set was called wrong: $(cat "$WORK/err")"

# The program's zone UTC and NTPTimezone still 9: the server's time, not nine hours off; the
# difference is told on stderr once.
: >"$WORK/standin"
t0=$(date +%s%N)
TZ=UTC probe 4000 zone=9 every=1200
t1=$(date +%s%N)
[ "$(calls)" -ge 2 ] || fail "SetTime called $(calls) times over several rounds"
while read -r _ usec _; do
    lo=$((t0 / 1000 + 3600000000 - 2000000))
    hi=$((t1 / 1000 + 3600000000 + 2000000))
    [ "$usec" -ge "$lo" ] && [ "$usec" -le "$hi" ] || fail "TZ=UTC: SetTime $usec, not the server's time"
done < <(grep '^SetTime ' "$WORK/standin")
[ "$(grep -c 'NTPTimezone=9 is not this system' "$WORK/err")" = 1 ] ||
    fail "the zone's difference was not told once: $(cat "$WORK/err")"
stop_standin

# Refused: she says so once over several rounds, the reason goes to stderr each time.
start_standin deny
probe 5500 every=1500
[ "$(calls)" -ge 3 ] || fail "only $(calls) SetTime calls in four rounds"
[ "$(said)" = 1 ] || fail "a refusal over $(calls) rounds was said $(said) times: $(cat "$WORK/out")"
grep -q 'AccessDenied' "$WORK/err" || fail "no reason on stderr: $(cat "$WORK/err")"
stop_standin

# No time service on the bus, then no system bus at all: the same line, once.
probe 4000 every=1500
[ "$(said)" = 1 ] || fail "no service: said $(said) times: $(cat "$WORK/out" "$WORK/err")"
grep -q 'ServiceUnknown' "$WORK/err" || fail "no service: no reason on stderr: $(cat "$WORK/err")"
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/no-bus" probe 4000 every=1500
[ "$(said)" = 1 ] || fail "no bus: said $(said) times: $(cat "$WORK/out" "$WORK/err")"
grep -q 'no system bus' "$WORK/err" || fail "no bus: no reason on stderr: $(cat "$WORK/err")"
stop_peer

# The clock already kept by NTP and the server agreeing: nothing is set, nothing is said.
start_peer 0
start_standin record synchronized
probe 2500
grep -q '^outstanding 0$' "$WORK/out" || fail "no reply: $(cat "$WORK/out")"
[ "$(calls)" = 0 ] || fail "a clock within the minimum was set"
[ "$(grep -c '^say ' "$WORK/out")" = 0 ] || fail "a clock within the minimum spoke: $(cat "$WORK/out")"
echo "ok: timedate"
