#!/usr/bin/env bash
# Starts a private dovecot POP3 server on 127.0.0.1:110 for the tests (run as root):
# dovecot.sh DIR USER PASSWORD [USER PASSWORD ...]. Prints its pid. Mailboxes are
# DIR/mail/USER (maildir, owned by mail:mail). Refuses to start when the port is taken.
# DOVECOT_ADDRESS listens on another loopback address. With DOVECOT_TLS_CERT and
# DOVECOT_TLS_KEY (PEM files) it serves POP3 and IMAP with TLS required: POP3 on 110 (STLS) and
# 995, IMAP on 143 (STARTTLS) and 993. Dovecot takes a client whose address is its own for a
# secure one: only a client from another address (127.0.0.1 to 127.0.0.3, say) sees a log-in in
# clear refused.
set -euo pipefail
dir="$1"
shift
addr="${DOVECOT_ADDRESS:-127.0.0.1}"
if (exec 3<>"/dev/tcp/$addr/110") 2>/dev/null; then
    echo "dovecot.sh: $addr:110 is taken" >&2
    exit 1
fi
mkdir -p "$dir/run" "$dir/state" "$dir/mail"
: >"$dir/passwd"
while [ $# -ge 2 ]; do
    echo "$1:{PLAIN}$2" >>"$dir/passwd"
    mkdir -p "$dir/mail/$1/cur" "$dir/mail/$1/new" "$dir/mail/$1/tmp"
    shift 2
done
chown -R mail:mail "$dir/mail"
chmod 755 "$dir"
# The auth and mail processes run as mail: they must reach the folder.
chmod o+x "$(dirname "$dir")"
cat >"$dir/dovecot.conf" <<CONF
protocols = pop3
listen = $addr
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
info_log_path = $dir/dovecot.log
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain apop
auth_failure_delay = 0
first_valid_uid = 8
mail_location = maildir:$dir/mail/%u
default_internal_user = mail
default_login_user = mail
passdb {
  driver = passwd-file
  args = $dir/passwd
}
userdb {
  driver = static
  args = uid=mail gid=mail home=$dir/mail/%u
}
service pop3-login {
  inet_listener pop3 {
    address = $addr
    port = 110
  }
  inet_listener pop3s {
    port = 0
  }
}
service anvil {
  chroot =
}
service stats {
  chroot =
}
CONF
if [ -n "${DOVECOT_TLS_CERT:-}" ]; then
    # Later settings win over the clear ones above.
    cat >>"$dir/dovecot.conf" <<CONF
protocols = pop3 imap
ssl = required
ssl_cert = <$DOVECOT_TLS_CERT
ssl_key = <$DOVECOT_TLS_KEY
disable_plaintext_auth = yes
service pop3-login {
  inet_listener pop3s {
    address = $addr
    port = 995
    ssl = yes
  }
}
service imap-login {
  inet_listener imap {
    address = $addr
    port = 143
  }
  inet_listener imaps {
    address = $addr
    port = 993
    ssl = yes
  }
}
CONF
fi
dovecot -c "$dir/dovecot.conf" -F >"$dir/stdout.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/$addr/110") 2>/dev/null && { echo "$pid"; exit 0; }
    sleep 0.05
done
echo "dovecot.sh: dovecot did not start" >&2
cat "$dir/dovecot.log" >&2 || true
kill "$pid" 2>/dev/null || true
exit 1
