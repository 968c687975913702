#!/usr/bin/env bash
# The clock adjustment against chronyd on 127.0.0.1:123, scripted servers whose clocks are off
# on 127.0.0.3:123 and [::1]:123, a silent UDP peer on 127.0.0.2:123 and a sender on another
# port. The clock setter is a recorder: the machine's clock is never touched. A network namespace
# of its own keeps port 19999 and the servers' ports apart from any other test's programs.
if [ "${NAGOMI_PRIVATE_NAMESPACES:-}" != 1 ]; then
    NAGOMI_PRIVATE_NAMESPACES=1 exec unshare --net bash "$0" "$@"
fi
source "$(dirname "$0")/../e2e/lib.sh"
ip link set lo up
PEERS="$(dirname "$0")"
cpid=$("$PEERS/chrony.sh" "$WORK/chrony") || fail "chronyd did not start"
PIDS+=($cpid)
probe() { "$TOOLS/ntp_probe" "$@" >"$WORK/out" 2>"$WORK/err"; }
before=$(date +%s)

# Starts the scripted server on ADDRESS, OFFSET seconds off.
start_peer() {
    "$TOOLS/sntp_peer" "$1" "$2" >"$WORK/peer.$1" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do grep -q '^ready$' "$WORK/peer.$1" && return 0; sleep 0.05; done
    fail "the scripted server on $1 did not start: $(cat "$WORK/peer.$1")"
}
# The recorded setting is the server's time: OFFSET seconds from the machine's clock during the
# exchange (between T0 and T1, in ns), within 2 s.
set_to() {
    local offset="$1" t0="$2" t1="$3" usec
    usec=$(sed -n 's/^set //p' "$WORK/out")
    [ "$(grep -c '^set ' "$WORK/out")" = 1 ] || fail "wanted one setting: $(cat "$WORK/out")"
    [ "$usec" -ge $((t0 / 1000 + offset * 1000000 - 2000000)) ] &&
        [ "$usec" -le $((t1 / 1000 + offset * 1000000 + 2000000)) ] ||
        fail "the clock would be set to $usec, wanted $offset s from $((t0 / 1000))"
}

# chronyd serves this machine's own time: a tiny offset, the clock left alone, whatever the
# program's zone and NTPTimezone say: they never shift the comparison. Found by name too.
for zone in "UTC 9 127.0.0.1" "Asia/Tokyo 9 localhost" "America/New_York 0 127.0.0.1"; do
    read -r tz hours host <<<"$zone"
    TZ=$tz probe "$host" 2500 "zone=$hours"
    grep -q '^outstanding 0$' "$WORK/out" || fail "no reply from chronyd: $(cat "$WORK/out" "$WORK/err")"
    offset=$(sed -n 's/^offset //p' "$WORK/out")
    awk -v o="$offset" 'BEGIN {exit !(o < 200 && o > -200)}' ||
        fail "TZ=$tz NTPTimezone=$hours: offset $offset ms against our own clock"
    grep -q '^set ' "$WORK/out" && fail "TZ=$tz NTPTimezone=$hours: a small offset set the clock"
    grep -q '^say ' "$WORK/out" && fail "TZ=$tz NTPTimezone=$hours: a reply spoke"
done
# Port 19999 when it is free.
probe 127.0.0.1 300
grep -q '^port 19999$' "$WORK/out" || fail "a free port 19999 was not taken: $(cat "$WORK/out")"

# Nine hours ahead: the (recorded) setting is the server's time.
start_peer 127.0.0.3 32400
t0=$(date +%s%N)
probe 127.0.0.3 2500
t1=$(date +%s%N)
set_to 32400 "$t0" "$t1"

# IPv6: a server on ::1 an hour behind, as a bare and as a bracketed address.
start_peer ::1 -3600
for host in ::1 '[::1]'; do
    t0=$(date +%s%N)
    probe "$host" 2500
    t1=$(date +%s%N)
    set_to -3600 "$t0" "$t1"
done

# Another user holds port 19999: any free port will do, and the adjustment still works.
socat -u UDP6-RECV:19999 /dev/null &
PIDS+=($!)
sleep 0.2
probe ::1 2500
grep -q '^port 19999$' "$WORK/out" && fail "port 19999 taken twice"
grep -q '^port [1-9]' "$WORK/out" || fail "no port at all: $(cat "$WORK/out")"
grep -q '^set ' "$WORK/out" || fail "with port 19999 taken nothing was set: $(cat "$WORK/out")"
kill "${PIDS[-1]}"
wait "${PIDS[-1]}" 2>/dev/null || true

# A silent server: the time-out line; a datagram from another port meanwhile changes nothing.
socat -u UDP-RECV:123,bind=127.0.0.2 /dev/null &
PIDS+=($!)
sleep 0.2
(
    sleep 0.4
    port=$(sed -n 's/^port //p' "$WORK/out")
    head -c 48 /dev/zero | tr '\0' '\044' |
        socat -u - "UDP-SENDTO:127.0.0.1:$port,sourceport=124,bind=127.0.0.1"
) &
probe 127.0.0.2 1800 timeout=1000
grep -q '^say 時刻調整タイムアウト$' "$WORK/out" || fail "no time-out line: $(cat "$WORK/out")"
grep -q '^set ' "$WORK/out" && fail "a stray datagram set the clock"

# Off at start: nothing is sent, nothing is waited for.
probe 127.0.0.2 800 timeout=500 off
grep -q '^say ' "$WORK/out" && fail "adjustment off still asked"
grep -q '^outstanding 0$' "$WORK/out" || fail "adjustment off left a request outstanding"

# The unspecified addresses are no server.
for host in 0.0.0.0 :: '[::]'; do
    probe "$host" 300 timeout=500
    grep -q '^error Null Remote Address$' "$WORK/out" || fail "$host: $(cat "$WORK/out")"
done

now=$(date +%s)
[ $((now - before)) -ge 0 ] && [ $((now - before)) -lt 120 ] || fail "the machine's clock moved"
echo "ok: ntp"
