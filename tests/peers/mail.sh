#!/usr/bin/env bash
# The mail check against real servers on loopback addresses (run as root): dovecot on
# 127.0.0.1:110 with USER/PASS and APOP, our scripted POP3 peers on 127.0.0.2-6, a socat
# listener that accepts and stays silent on 127.0.0.7, and nothing at all on 127.0.0.8.
source "$(dirname "$0")/../e2e/lib.sh"
PEERS="$(dirname "$0")"
dove="$WORK/dovecot"
dpid=$("$PEERS/dovecot.sh" "$dove" hanako secret taro apoppass) || fail "dovecot did not start"
PIDS+=($dpid)

ini="$WORK/pikmain.ini"
settings() { printf '%s\r\n' "$@" >"$ini"; }
check() { "$TOOLS/mail_probe" "$ini" "$@" >"$WORK/out"; }
said() { sed -n 's/^say //p' "$WORK/out"; }
key() { tr -d '\r' <"$ini" | sed -n "s/^$1=//p"; }
n=0
deliver() { # USER MESSAGE-ID
    n=$((n + 1))
    local f="$dove/mail/$1/new/$((1700000000 + n)).M$n.peer"
    printf 'From: a@example\r\nTo: %s@example\r\nMessage-ID: %s\r\nSubject: %d\r\n\r\nhello\r\n' \
        "$1" "$2" "$n" >"$f"
    chown mail:mail "$f"
    chmod 0644 "$f"
    sleep 1.1 # the next message gets a later delivery time
}
new_mail() { echo "メールが$1通きています． はやく受信しましょう．"; }

# USER/PASS against dovecot, which gives no count with the log-in.
settings POPServer=127.0.0.1 POPAccount=hanako POPPassword=secret IsAPOP=0
check
[ "$(said)" = "" ] || fail "empty maildrop spoke: $(said)"
grep -q '^received 0 未読メール総数：ありません．$' "$WORK/out" || fail "empty label: $(cat "$WORK/out")"
grep -q 'retr=0/0' "$dove/dovecot.log" || fail "RETR sent for an empty maildrop"
deliver hanako '<First@Example>'
deliver hanako '<Second@Example>'
check
[ "$(said)" = "$(new_mail 2)" ] || fail "two messages: $(said)"
[ "$(key LastMessageID)" = "<second@example>" ] || fail "LastMessageID $(key LastMessageID)"
deliver hanako '<Third@Example>'
check
[ "$(said)" = "$(new_mail 3)" ] || fail "2 -> 3: $(said)"
[ "$(key LastMailNum)" = 3 ] || fail "LastMailNum $(key LastMailNum)"
check
[ "$(said)" = "" ] || fail "nothing new spoke: $(said)"
grep -q '^modified 最終チェック日時：[0-9]' "$WORK/out" || fail "time label not updated"
grep -q '^received 3 未読メール総数：3通$' "$WORK/out" || fail "count label: $(cat "$WORK/out")"
# Read and deleted elsewhere, one new message: the count falls but the newest is new.
rm -f "$dove"/mail/hanako/new/* "$dove"/mail/hanako/cur/*
deliver hanako '<Fourth@Example>'
check
[ "$(said)" = "$(new_mail 1)" ] || fail "3 -> 1 with a new message: $(said)"
grep -q 'del=0/' "$dove/dovecot.log" && ! grep -q 'del=[1-9]' "$dove/dovecot.log" ||
    fail "the check deleted mail"

settings POPServer=127.0.0.1 POPAccount=hanako POPPassword=wrong
check
[ "$(said)" = "パスワードが正しくありません．" ] || fail "wrong password: $(said)"
settings POPServer=127.0.0.1 POPAccount=nobody POPPassword=x
check
[ "$(said)" = "パスワードが正しくありません．" ] || fail "unknown user: $(said)"

# APOP: the greeting's timestamp and the plain password.
deliver taro '<Apop@Example>'
settings POPServer=127.0.0.1 POPAccount=taro POPPassword=apoppass IsAPOP=1
check
[ "$(said)" = "$(new_mail 1)" ] || fail "APOP: $(said) $(tail -n 3 "$dove/dovecot.log")"
grep -q 'method=APOP' "$dove/dovecot.log" || fail "no APOP log-in at the server"

# Our scripted peers: the count in the log-in reply, a split Message-ID, none at all, a reply
# that never ends, a greeting that says -ERR.
i=2
for mode in rfc split noid endless errgreet; do
    "$TOOLS/pop3_peer" "127.0.0.$i" "$mode" >"$WORK/peer$i" 2>&1 &
    PIDS+=($!)
    i=$((i + 1))
done
sleep 0.3
settings POPServer=127.0.0.2 POPAccount=a POPPassword=b LastMailNum=2 LastMessageID=x
check
[ "$(said)" = "$(new_mail 2)" ] || fail "rfc peer: $(said)"
[ "$(key LastMessageID)" = "<peer.two@example>" ] || fail "rfc peer ID $(key LastMessageID)"
settings POPServer=127.0.0.3 POPAccount=a POPPassword=b LastMailNum=2
check
[ "$(key LastMessageID)" = "<split.one@peer>" ] || fail "split ID: $(key LastMessageID)"
settings POPServer=127.0.0.4 POPAccount=a POPPassword=b LastMailNum=2 'LastMessageID=<x@y>'
t0=$(date +%s)
check
[ "$(said)" = "$(new_mail 2)" ] || fail "no-ID peer: $(said)"
[ $(($(date +%s) - t0)) -lt 5 ] || fail "a message without ID waited for the time-out"
[ "$(key LastMessageID)" = "" ] || fail "no-ID peer kept $(key LastMessageID)"
settings POPServer=127.0.0.5 POPAccount=a POPPassword=b LastMailNum=0
check
[ "$(said)" = "$(new_mail 2)" ] || fail "endless peer: $(said)"
settings POPServer=127.0.0.6 POPAccount=a POPPassword=b LastMailNum=0
check
[ "$(said)" = "$(new_mail 2)" ] || fail "-ERR greeting: $(said)"

# A server that accepts and never answers; a port where nobody listens.
socat TCP-LISTEN:110,bind=127.0.0.7,reuseaddr,fork SYSTEM:'sleep 30' &
PIDS+=($!)
sleep 0.3
settings POPServer=127.0.0.7 POPAccount=a POPPassword=b LastMailNum=4
check
[ "$(said)" = "サーバに接続できません（送信タイムアウト）" ] || fail "silent server: $(said)"
[ "$(key LastMailNum)" = 4 ] || fail "a failed check changed LastMailNum"
settings POPServer=127.0.0.8 POPAccount=a POPPassword=b
check
grep -q "^error 'connect' API でWindows ソケットエラー: Connection refused (111)$" "$WORK/out" ||
    fail "refused connection: $(cat "$WORK/out")"
[ -z "$(said)" ] || fail "a refused connection spoke"
settings POPServer= POPAccount=a
check
grep -q '^error アドレスが指定されていません$' "$WORK/out" || fail "empty server: $(cat "$WORK/out")"

# A server that drips its RETR reply: the exchange ends after 20 s, not when the reply does.
"$TOOLS/pop3_peer" 127.0.0.9 drip >"$WORK/drip.out" 2>&1 &
PIDS+=($!)
# A server whose listen queue is full: the connect gives up after 10 s.
"$TOOLS/pop3_peer" 127.0.0.10 full >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.3
for _ in 1 2 3 4; do
    socat -u OPEN:/dev/null TCP:127.0.0.10:110,connect-timeout=1 >/dev/null 2>&1 &
    PIDS+=($!)
done
sleep 0.5
settings POPServer=127.0.0.9 POPAccount=a POPPassword=b LastMailNum=0
t0=$(date +%s)
check
took=$(($(date +%s) - t0))
[ "$(said)" = "サーバに接続できません（受信タイムアウト）" ] || fail "dripping server: $(said)"
[ "$took" -ge 19 ] && [ "$took" -le 23 ] || fail "dripping server held the check ${took}s"
settings POPServer=127.0.0.10 POPAccount=a POPPassword=b
t0=$(date +%s)
check
took=$(($(date +%s) - t0))
grep -q "^error 'connect' API でWindows ソケットエラー: Connection timed out (110)$" "$WORK/out" ||
    fail "full listen queue: $(cat "$WORK/out")"
[ "$took" -le 12 ] || fail "the connect was held ${took}s"

# The program itself checks at start-up and speaks the notice.
start_xvfb
app=$(app_dir 1)
cd "$app"
write_ini 'isLog=1\r\nMailCheck=1\r\nMailInterval=1\r\nPOPServer=127.0.0.2\r\nPOPAccount=a\r\nPOPPassword=b\r\n'
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
wait_window Mainform >/dev/null
sleep 1.5
kill -TERM "$pid"
wait_exit "$pid"
iconv -f CP932 -t UTF-8 piklog.txt | grep -qF " $(new_mail 2)" || fail "the program did not announce the mail"
tr -d '\r' <pikmain.ini | grep -q '^LastMailNum=2$' || fail "LastMailNum not saved"
tr -d '\r' <pikmain.ini | grep -q '^LastMessageID=<peer.two@example>$' || fail "LastMessageID not saved"
cd "$WORK"

# A SIGTERM while the start-up check waits on the dripping server ends the program at once, the
# orderly way: settings saved, the log closed with its end line.
app=$(app_dir 2)
cd "$app"
write_ini 'isLog=1\r\nMailCheck=1\r\nMailInterval=1\r\nPOPServer=127.0.0.9\r\nPOPAccount=a\r\nPOPPassword=b\r\n'
: >"$WORK/drip.out"
"$NAGOMI" 2>"$WORK/stderr" &
pid=$!
PIDS+=($pid)
for _ in $(seq 100); do grep -q retr "$WORK/drip.out" && break; sleep 0.1; done
grep -q retr "$WORK/drip.out" || fail "the start-up check did not reach RETR"
# During the check she is all there: a short click makes her speak, a drag moves her.
win=$(wait_window Mainform)
read -r cx cy < <(inner_point pikprsn.bmp.msk)
read -r x y < <(window_pos "$win")
t0=$(date +%s%N)
xdotool mousemove "$((x + cx))" "$((y + cy))" click 1
wait_window Fukidasi >/dev/null
said_ms=$((($(date +%s%N) - t0) / 1000000))
[ "$said_ms" -le 2000 ] || fail "a click during a check was answered after $said_ms ms"
echo "click answered during a check in $said_ms ms"
xdotool mousemove "$((x + cx))" "$((y + cy))" mousedown 1
for step in 1 2 3 4; do
    xdotool mousemove "$((x + cx + 10 * step))" "$((y + cy + 5 * step))"
    sleep 0.1
done
xdotool mouseup 1
sleep 0.3
read -r nx ny < <(window_pos "$win")
[ "$nx $ny" = "$((x + 40)) $((y + 20))" ] || fail "a drag during a check left her at $nx $ny (from $x $y)"
sleep 1
kill -TERM "$pid"
t0=$(date +%s%N)
for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$pid" 2>/dev/null && fail "SIGTERM during a check was not honoured within 2 s"
wait "$pid" || true
echo "exit after SIGTERM during a check: $((($(date +%s%N) - t0) / 1000000)) ms"
iconv -f CP932 -t UTF-8 piklog.txt | tail -n 1 | grep -q 'PP: ぴこぷる終了します．' || fail "no end line in the log"
tr -d '\r' <pikmain.ini | grep -q '^Left=' || fail "settings were not saved"
cd "$WORK"

# The notify sound: heard on new mail, silent once an alarm has sounded.
start_pulse nagomi_mail
loudness() { # run a check while recording; print the recording's peak
    parec --device=nagomi_mail.monitor --latency-msec=20 --format=s16le --rate=44100 \
        --channels=2 --raw "$WORK/rec.raw" &
    local rec=$!
    sleep 0.3
    SDL_AUDIODRIVER=pulseaudio check "$@" --play-wait 1500
    sleep 0.3
    kill "$rec"
    wait "$rec" 2>/dev/null || true
    "$TOOLS/audio_probe" "$WORK/rec.raw" 0 | awk '$2 > m {m = $2} END {print m + 0}'
}
settings POPServer=127.0.0.2 POPAccount=a POPPassword=b LastMailNum=0 MailNotify=1 \
    "MailNotifyFile=$DATA/mail.wav"
[ "$(loudness)" -gt 1000 ] || fail "the notify sound was not heard"
grep -q "^played $DATA/mail.wav" "$WORK/out" || fail "no notify sound played"
settings POPServer=127.0.0.2 POPAccount=a POPPassword=b LastMailNum=0 MailNotify=1 \
    "MailNotifyFile=$DATA/mail.wav"
[ "$(loudness alarm)" -lt 300 ] || fail "notify sound after an alarm"
[ "$(said)" = "$(new_mail 2)" ] || fail "new mail after an alarm is still spoken"
echo "ok: mail"
