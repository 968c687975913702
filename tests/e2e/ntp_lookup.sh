#!/usr/bin/env bash
# While the clock adjustment waits on a name lookup that never ends (a resolver that takes the
# question and stays silent), she is all there: a click makes her speak, and "おしまい。" ends
# her at once, the orderly way. The resolver is private to this test: /etc/resolv.conf is
# replaced in a mount namespace of its own.
if [ -z "${NAGOMI_PRIVATE_RESOLVER:-}" ]; then
    exec env NAGOMI_PRIVATE_RESOLVER=1 unshare --mount --propagation private -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
stop_line=$(printf ' PP: ぴこぷる終了します．' | iconv -f UTF-8 -t CP932)

socat -u UDP-RECV:53,bind=127.0.0.3 "OPEN:$WORK/queries,creat,append" &
PIDS+=($!)
printf 'nameserver 127.0.0.3\noptions timeout:30 attempts:1\n' >"$WORK/resolv.conf"
mount --bind "$WORK/resolv.conf" /etc/resolv.conf
sleep 0.2
status=0
timeout 2 getent hosts time.nagomi.test >/dev/null || status=$?
[ "$status" = 124 ] || fail "the silent resolver answered (getent status $status)"

start_xvfb
app=$(app_dir 1)
cd "$app"
write_ini 'isLog=1\r\nTop=300\r\nLeft=700\r\nShowCalender=0\r\nisAdjust=1\r\nNTPhost=time.nagomi.test\r\nNTPInterval=1\r\n'
: >"$WORK/queries"
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
for _ in $(seq 100); do [ -s "$WORK/queries" ] && break; sleep 0.05; done
[ -s "$WORK/queries" ] || fail "she did not look the server's name up"

# A short click: she speaks.
read -r cx cy < <(inner_point pikprsn.bmp.msk)
read -r x y < <(window_pos "$win")
t0=$(date +%s%N)
xdotool mousemove "$((x + cx))" "$((y + cy))" click 1
wait_window Fukidasi >/dev/null
said_ms=$((($(date +%s%N) - t0) / 1000000))
[ "$said_ms" -le 2000 ] || fail "a click during the lookup was answered after $said_ms ms"
echo "click answered during the lookup in $said_ms ms"

# Her menu's last item, "おしまい。", while the lookup still hangs.
sleep 2.5 # the balloon goes; the right press then lands on her, not on it
xdotool mousemove "$((x + cx))" "$((y + cy))"
sleep 0.2
xdotool click 3
wait_her_menu "$win" "a right press on her opened no menu"
t0=$(date +%s%N)
xdotool key Up Return
for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$pid" 2>/dev/null && fail "おしまい。 during the lookup did not end her within 2 s"
ended_ms=$((($(date +%s%N) - t0) / 1000000))
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "status $status ($(tail -n 3 "$WORK/stderr"))"
tail -n1 piklog.txt | grep -qF "$stop_line" || fail "no end line in the log"
echo "おしまい。 during the lookup ended her in $ended_ms ms"
echo "ok: ntp_lookup"
