#!/usr/bin/env bash
# The mail check over TLS against real servers (run as root): dovecot with TLS required on
# 127.0.0.3 (POP3 110 and 995, IMAP 143 and 993) and scripted hostile TLS peers on other ports
# of that address, all reached by the name mail.nagomi.test and trusted through a test CA.
# The name comes from a hosts file of the test's own, laid over /etc/hosts in a mount namespace
# of its own that ends with the test; a network namespace of its own keeps its ports apart from
# any other test's. Dovecot is not on 127.0.0.1: it takes a client from its own address for a
# secure one and would let a log-in in clear through.
if [ "${NAGOMI_PRIVATE_NAMESPACES:-}" != 1 ]; then
    NAGOMI_PRIVATE_NAMESPACES=1 exec unshare --mount --net --propagation private bash "$0" "$@"
fi
source "$(dirname "$0")/../e2e/lib.sh"
ip link set lo up
PEERS="$(dirname "$0")"
name=mail.nagomi.test
certs="$WORK/certs"
"$PEERS/tls_certs.sh" "$certs" "$name" || fail "the certificates were not made"
printf '127.0.0.1 localhost\n127.0.0.3 %s\n' "$name" >"$WORK/hosts"
# Names the file does not hold are not found, at once: no DNS server is asked.
sed 's/^hosts:.*/hosts: files/' /etc/nsswitch.conf >"$WORK/nsswitch.conf"
mount --bind "$WORK/hosts" /etc/hosts
mount --bind "$WORK/nsswitch.conf" /etc/nsswitch.conf
getent hosts "$name" | grep -q '^127\.0\.0\.3 ' || fail "$name does not resolve to 127.0.0.3"
export SSL_CERT_FILE="$certs/ca.pem"

dove="$WORK/dovecot"
dpid=$(DOVECOT_ADDRESS=127.0.0.3 DOVECOT_TLS_CERT="$certs/good.pem" \
    DOVECOT_TLS_KEY="$certs/good.key" "$PEERS/dovecot.sh" "$dove" hanako secret) ||
    fail "dovecot did not start"
PIDS+=($dpid)

ini="$WORK/pikmain.ini"
what=""
# check CASE KEY=VALUE...: one check with these settings (the server and account unless they
# are among them), bounded so that a hang names its case.
check() {
    what="$1"
    shift
    local line lines=()
    for line in POPServer=$name POPAccount=hanako POPPassword=secret; do
        [[ " $* " == *" ${line%%=*}="* ]] || lines+=("$line")
    done
    printf '%s\r\n' "${lines[@]}" "$@" >"$ini"
    local status=0
    timeout 60 "$TOOLS/mail_probe" "$ini" >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" = 0 ] || fail "$what: mail_probe ended with status $status: $(tail -n 5 "$WORK/err")"
}
said() { sed -n 's/^say //p' "$WORK/out"; }
says() { [ "$(said)" = "$1" ] || fail "$what: said \"$(said)\", not \"$1\""; }
key() { tr -d '\r' <"$ini" | sed -n "s/^$1=//p"; }
error_is() { grep -qxF "error $1" "$WORK/out" || fail "$what: not the error \"$1\""; }
new_mail() { echo "メールが$1通きています． はやく受信しましょう．"; }
ms() { echo $(($(date +%s%N) / 1000000)); }
n=0
deliver() { # MESSAGE-ID [FLAGS]: a message to hanako; with FLAGS, in cur/ with these flags
    n=$((n + 1))
    local f="$dove/mail/hanako/new/$((1700000000 + n)).M$n.peer"
    [ $# -ge 2 ] && f="$dove/mail/hanako/cur/$((1700000000 + n)).M$n.peer:2,$2"
    printf 'From: a@example\r\nTo: hanako@example\r\nMessage-ID: %s\r\nSubject: %d\r\n\r\nhi\r\n' \
        "$1" "$n" >"$f"
    chown mail:mail "$f"
    chmod 0644 "$f"
    sleep 1.1 # the next message gets a later delivery time
}
# Each message's name and flags, wherever the server keeps it.
flags() {
    find "$dove/mail/hanako/new" "$dove/mail/hanako/cur" -type f -printf '%f\n' |
        awk -F ':2,' '{print $1, $2}' | sort
}

# Dovecot: each way in finds the three messages, the newest by its ID.
deliver '<First@Example>' F
deliver '<Second@Example>'
deliver '<Third@Example>'
before=$(flags)
dovecot_case() { # CASE KEY=VALUE...
    local t0
    t0=$(ms)
    check "$@" LastMailNum=0
    echo "$1 check: $(($(ms) - t0)) ms"
    says "$(new_mail 3)"
    [ "$(key LastMailNum)" = 3 ] || fail "$what: LastMailNum $(key LastMailNum)"
    [ "$(key LastMessageID)" = "<third@example>" ] || fail "$what: LastMessageID $(key LastMessageID)"
}
dovecot_case IMAPS MailProtocol=1 POPSecurity=2
check "IMAPS again" MailProtocol=1 POPSecurity=2 LastMailNum=3 'LastMessageID=<third@example>'
says ""
grep -q '^received 3 ' "$WORK/out" || fail "$what: no count of 3"
dovecot_case "IMAP STARTTLS" MailProtocol=1 POPSecurity=1
# A check only looks: no message read, none flagged or unflagged.
[ "$(flags)" = "$before" ] ||
    fail "the IMAP checks changed flags (name, flags): $(diff <(echo "$before") <(flags) | grep '^[<>]')"
dovecot_case POP3S POPSecurity=2
dovecot_case "POP3 STLS" POPSecurity=1

# In clear against a server that requires TLS: the log-in is refused, the way a wrong one is.
refused() {
    case "$(said)" in
        "パスワードが正しくありません．" | "ユーザ名が誤っています．") ;;
        *) fail "$what: $(said)" ;;
    esac
}
check "POP3 in clear" POPSecurity=0
refused
check "IMAP in clear" MailProtocol=1 POPSecurity=0
refused

# The scripted peers: one per port, each recording what reached it.
peer() { # PORT MODE CERTIFICATE
    "$TOOLS/tls_peer" 127.0.0.3 "$1" "$2" "$certs/$3.pem" "$certs/$3.key" "$WORK/rec.$1" \
        >"$WORK/peer.$1" 2>&1 &
    PIDS+=($!)
}
port=10000
cases=()
for cert in unknown other expired; do
    for mode in pop3s pop3-stls imaps imap-starttls; do
        port=$((port + 1))
        peer "$port" $mode $cert
        cases+=("$port $mode $cert")
    done
done
peer 10101 pop3-nostls good
peer 10102 imap-nostarttls good
peer 10103 pop3-inject good
peer 10104 imap-inject good
peer 10105 drip good
for _ in $(seq 100); do
    [ "$(cat "$WORK"/peer.* | grep -c '^ready$')" = $((${#cases[@]} + 5)) ] && break
    sleep 0.05
done
for p in "$WORK"/peer.*; do grep -q '^ready$' "$p" || fail "tls_peer ${p##*.}: $(cat "$p")"; done
recorded() { tr -d '\r' <"$WORK/rec.$1"; }
# No user name, password or APOP digest, in any of the protocols' forms.
no_login() { # PORT
    if recorded "$1" | grep -qiE '^(USER|PASS|APOP|AUTH)( |$)|^[^ ]+ (LOGIN|AUTHENTICATE)( |$)' ||
        grep -q secret "$WORK/rec.$1"; then
        fail "$what: the log-in reached the peer: $(recorded "$1")"
    fi
}

for c in "${cases[@]}"; do
    read -r port mode cert <<<"$c"
    case $mode in
        pop3s) set -- POPSecurity=2 ;;
        pop3-stls) set -- POPSecurity=1 ;;
        imaps) set -- MailProtocol=1 POPSecurity=2 ;;
        imap-starttls) set -- MailProtocol=1 POPSecurity=1 ;;
    esac
    check "$mode with the $cert certificate" POPPort="$port" LastMailNum=4 "$@"
    grep -q '^error サーバの証明書を確認できません: .' "$WORK/out" ||
        fail "$what: not the certificate error"
    [ "$(key LastMailNum)" = 4 ] || fail "$what: a failed check changed LastMailNum"
    no_login "$port"
    sent=$(recorded "$port")
    case $mode in
        pop3s | imaps) [ -z "$sent" ] || fail "$what: bytes reached the peer: $sent" ;;
        pop3-stls) [ "$sent" = $'CAPA\nSTLS' ] || fail "$what: sent $sent" ;;
        imap-starttls) grep -qi '^[^ ]* STARTTLS$' <<<"$sent" || fail "$what: sent $sent" ;;
    esac
done

check "POP3 server without STLS" POPPort=10101 POPSecurity=1
error_is "暗号化通信（STARTTLS）に対応していないサーバです"
no_login 10101
recorded 10101 | grep -qi '^STLS' && fail "$what: STLS sent though not offered"
check "IMAP server without STARTTLS" POPPort=10102 MailProtocol=1 POPSecurity=1
error_is "暗号化通信（STARTTLS）に対応していないサーバです"
no_login 10102
recorded 10102 | grep -qi '^[^ ]* STARTTLS' && fail "$what: STARTTLS sent though not offered"

# Lines forged in clear behind the server's yes to TLS (nine messages) are no reply: the
# check goes on in TLS and finds the one message there is.
for c in "10103 pop3-inject" "10104 imap-inject"; do
    read -r port mode <<<"$c"
    protocol=0
    [ "$mode" = imap-inject ] && protocol=1
    check "$mode" POPPort="$port" MailProtocol=$protocol POPSecurity=1 LastMailNum=0
    says "$(new_mail 1)"
    [ "$(key LastMailNum)" = 1 ] || fail "$what: LastMailNum $(key LastMailNum)"
    [ "$(key LastMessageID)" = "<peer.1@example>" ] || fail "$what: LastMessageID $(key LastMessageID)"
    recorded "$port" | sed '/STLS\|STARTTLS/q' | grep -qiE '^(USER|PASS|[^ ]+ LOGIN)' &&
        fail "$what: logged in before TLS"
done

# A server that drips its replies: the check ends within its bound, learning nothing. (A POP3
# reply is what one read brings, so the first byte of the greeting stands for it and the log-in
# that follows fails at once; a slower end would be one of the time-outs.)
t0=$(ms)
check "dripping server" POPPort=10105 POPSecurity=2 LastMailNum=0
took=$(($(ms) - t0))
case "$(said)" in
    "サーバに接続できません（受信タイムアウト）" | "サーバに接続できません（送信タイムアウト）") ;;
    "ユーザ名が誤っています．" | "パスワードが正しくありません．") ;;
    *) fail "$what: $(said)" ;;
esac
[ "$(key LastMailNum)" = 0 ] || fail "$what: LastMailNum $(key LastMailNum)"
[ "$took" -le 30000 ] || fail "$what: the check took $took ms"
echo "dripping server: given up after $took ms"

check "name that does not resolve" POPServer=nowhere.invalid POPSecurity=2
error_is "サーバ nowhere.invalid が見つかりません"
echo "ok: mail over TLS"
