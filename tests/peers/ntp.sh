#!/usr/bin/env bash
# The clock adjustment against chronyd on 127.0.0.1:123, a silent UDP peer on 127.0.0.2:123
# and a sender on another port. The clock setter is a recorder: the machine's clock is never
# touched.
source "$(dirname "$0")/../e2e/lib.sh"
PEERS="$(dirname "$0")"
cpid=$("$PEERS/chrony.sh" "$WORK/chrony") || fail "chronyd did not start"
PIDS+=($cpid)
zone=$(date +%z) # +HHMM of this machine
zone_hours=$((10#${zone:1:2}))
[ "${zone:0:1}" = "-" ] && zone_hours=$((-zone_hours))
probe() { "$TOOLS/ntp_probe" "$@" >"$WORK/out" 2>"$WORK/err"; }
before=$(date +%s)

# The server's time in this machine's zone: a tiny offset, the clock left alone.
probe 127.0.0.1 "$zone_hours" 2000 500 1500
grep -q '^outstanding 0$' "$WORK/out" || fail "no reply from chronyd: $(cat "$WORK/out" "$WORK/err")"
offset=$(sed -n 's/^offset //p' "$WORK/out")
awk -v o="$offset" 'BEGIN {exit !(o < 200 && o > -200)}' || fail "offset $offset ms against our own clock"
grep -q '^set ' "$WORK/out" && fail "a small offset set the clock"
grep -q '^say ' "$WORK/out" && fail "a reply spoke"

# Nine hours off: the (recorded) clock setting is asked for, nine hours ahead.
# Compared as instants around the exchange: text to the minute differs across a minute's turn.
t0=$(date +%s)
probe localhost "$((zone_hours + 9))" 2000 500 1500
t1=$(date +%s)
set_line=$(sed -n 's/^set //p' "$WORK/out")
[ -n "$set_line" ] || fail "a nine-hour offset set nothing: $(cat "$WORK/out")"
set_at=$(date -d "$set_line" +%s) || fail "unreadable time: $set_line"
[ "$set_at" -ge $((t0 + 9 * 3600 - 2)) ] && [ "$set_at" -le $((t1 + 9 * 3600 + 2)) ] ||
    fail "clock would be set to $set_line, wanted nine hours after $(date -d "@$t0" '+%F %T')"

# A silent server: the time-out line; a datagram from another port meanwhile changes nothing.
socat -u UDP-RECV:123,bind=127.0.0.2 /dev/null &
PIDS+=($!)
sleep 0.2
(
    sleep 0.4
    head -c 48 /dev/zero | tr '\0' '\044' |
        socat -u - UDP-SENDTO:127.0.0.1:19999,sourceport=124,bind=127.0.0.1
) &
probe 127.0.0.2 "$((zone_hours + 9))" 1000 500 1800
grep -q '^say 時刻調整タイムアウト$' "$WORK/out" || fail "no time-out line: $(cat "$WORK/out")"
grep -q '^set ' "$WORK/out" && fail "a stray datagram set the clock"

# Off at start: nothing is sent, nothing is waited for.
probe 127.0.0.2 0 500 500 800 off
grep -q '^say ' "$WORK/out" && fail "adjustment off still asked"
grep -q '^outstanding 0$' "$WORK/out" || fail "adjustment off left a request outstanding"

# 0.0.0.0 is no server.
probe 0.0.0.0 0 500 500 300
grep -q '^error Null Remote Address$' "$WORK/out" || fail "0.0.0.0: $(cat "$WORK/out")"

now=$(date +%s)
[ $((now - before)) -ge 0 ] && [ $((now - before)) -lt 120 ] || fail "the machine's clock moved"
echo "ok: ntp"
