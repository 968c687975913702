#!/usr/bin/env bash
# Starts chronyd as an NTP server on 127.0.0.1:123 that never touches the clock (-x):
# chrony.sh DIR. Prints its pid. Refuses to start when the port is taken.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
if ss -lun 2>/dev/null | awk '{print $4}' | grep -qE '(^|:)123$'; then
    echo "chrony.sh: UDP port 123 is taken" >&2
    exit 1
fi
cat >"$dir/chrony.conf" <<CONF
port 123
bindaddress 127.0.0.1
allow 127.0.0.1
local stratum 8
cmdport 0
bindcmdaddress $dir/chronyd.sock
pidfile $dir/chronyd.pid
CONF
chronyd -d -x -u root -f "$dir/chrony.conf" >"$dir/chronyd.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    ss -lun 2>/dev/null | grep -q '127.0.0.1:123 ' && { echo "$pid"; exit 0; }
    sleep 0.05
done
echo "chrony.sh: chronyd did not start" >&2
cat "$dir/chronyd.log" >&2
kill "$pid" 2>/dev/null || true
exit 1
