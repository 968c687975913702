#!/usr/bin/env bash
# Starts a private dovecot POP3 server on 127.0.0.1:110 for the tests (run as root):
# dovecot.sh DIR USER PASSWORD [USER PASSWORD ...]. Prints its pid. Mailboxes are
# DIR/mail/USER (maildir, owned by mail:mail). Refuses to start when the port is taken.
set -euo pipefail
dir="$1"
shift
if (exec 3<>/dev/tcp/127.0.0.1/110) 2>/dev/null; then
    echo "dovecot.sh: 127.0.0.1:110 is taken" >&2
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
listen = 127.0.0.1
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
    address = 127.0.0.1
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
dovecot -c "$dir/dovecot.conf" -F >"$dir/stdout.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    (exec 3<>/dev/tcp/127.0.0.1/110) 2>/dev/null && { echo "$pid"; exit 0; }
    sleep 0.05
done
echo "dovecot.sh: dovecot did not start" >&2
cat "$dir/dovecot.log" >&2 || true
kill "$pid" 2>/dev/null || true
exit 1
