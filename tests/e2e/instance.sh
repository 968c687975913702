#!/usr/bin/env bash
# One of her per folder: a second start in the same folder makes no second character, brings a
# hidden one back (the character, and the calendar only when it is on) and ends with status 0;
# a start in another folder is a program of its own; a lock left by a killed program is no
# obstacle; a flood of silent connections neither stays open nor takes her socket away; a
# folder whose path is too long for a socket address gets its socket in the user's own runtime
# folder, and a shared place that is not the user's own is not used.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(app_dir 1)
cd "$app"
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }
count_windows() { xdotool search --onlyvisible --name '^Mainform$' 2>/dev/null | wc -l; }
month="$(date +%Y)年$(date +%-m)月"

start_program() {
    "$NAGOMI" 2>>"$WORK/stderr" &
    pid=$!
    PIDS+=($pid)
    win=$(wait_window Mainform)
}

# A later start: it must end by itself, with status 0.
second_start() {
    local status=0
    timeout 20 "$NAGOMI" 2>>"$WORK/stderr" || status=$?
    [ "$status" -eq 0 ] || fail "the second start ended with status $status"
}

hide_her() {
    read -r cx cy < <(inner_point pikprsn.bmp.msk)
    read -r x y < <(window_pos "$win")
    xdotool mousemove "$((x + cx))" "$((y + cy))"
    sleep 0.2
    xdotool click 3
    sleep 0.4
    xdotool key Up Up Return # ないない
    sleep 0.5
    viewable "$win" && fail "ないない left her shown"
    return 0
}

write_ini 'Left=300\r\nTop=200\r\nShowCalender=1\r\n'
start_program
cal=$(wait_window "Calender: $month")
before=$(stat -c %Y.%s pikmain.ini)

second_start
sleep 0.5
[ "$(count_windows)" -eq 1 ] || fail "a second start made $(count_windows) characters"
[ "$(stat -c %Y.%s pikmain.ini)" = "$before" ] || fail "the second start wrote the settings file"
kill -0 "$pid" || fail "the first program ended"

# Hidden, then a second start: both come back where they were.
hide_her
viewable "$cal" && fail "ないない left the calendar shown"
second_start
for _ in $(seq 40); do viewable "$win" && break; sleep 0.05; done
viewable "$win" || fail "a second start did not bring her back"
viewable "$cal" || fail "a second start did not bring the calendar back"
[ "$(window_pos "$win")" = "300 200" ] || fail "she came back at $(window_pos "$win")"

# Another folder is another program.
other=$(app_dir 2)
(cd "$other" && exec "$NAGOMI" 2>>"$WORK/stderr") &
opid=$!
PIDS+=($opid)
for _ in $(seq 100); do [ "$(count_windows)" -eq 2 ] && break; sleep 0.05; done
[ "$(count_windows)" -eq 2 ] || fail "a start in another folder did not make its own character"
kill -TERM "$opid"
wait_exit "$opid"

# Killed: the lock and socket it leaves do not stop the next start, which is the first again.
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
for _ in $(seq 40); do [ "$(count_windows)" -eq 0 ] && break; sleep 0.05; done
[ -e .nagomi.lock ] || fail "no lock file was made"
write_ini 'ShowCalender=0\r\nLeft=300\r\nTop=200\r\n'
start_program
hide_her
second_start
for _ in $(seq 40); do viewable "$win" && break; sleep 0.05; done
viewable "$win" || fail "after a kill, a second start did not bring her back"
[ -z "$(xdotool search --onlyvisible --name "^Calender" 2>/dev/null)" ] ||
    fail "the calendar came back although it is off"
kill -TERM "$pid"
wait_exit "$pid"
[ -e .nagomi.sock ] && fail "the socket stayed after a clean end"

# 1000 silent connections against a program with 256 descriptors: each is closed by her (at
# once beyond the few she keeps, else at its deadline), her socket stays, and a second start
# still brings her back.
cd "$(app_dir 3)"
write_ini 'ShowCalender=0\r\nLeft=300\r\nTop=200\r\n'
(ulimit -Sn 256 && exec "$NAGOMI" 2>>"$WORK/stderr") &
pid=$!
PIDS+=($pid)
win=$(wait_window Mainform)
hide_her
timeout 60 "$TOOLS/flood_probe" "$PWD/.nagomi.sock" 1000 2>"$WORK/flood" ||
    fail "the flood: $(cat "$WORK/flood")"
[ -S .nagomi.sock ] || fail "the flood took her socket away"
second_start
for _ in $(seq 40); do viewable "$win" && break; sleep 0.05; done
viewable "$win" || fail "after the flood, a second start did not bring her back"
kill -TERM "$pid"
wait_exit "$pid"

# A folder whose path does not fit a socket address: the socket goes into $XDG_RUNTIME_DIR.
long="$WORK/$(printf 'x%.0s' $(seq 110))/app"
mkdir -p "$long" "$WORK/run" "$WORK/tmp"
chmod 700 "$WORK/run"
cp "$DATA/pikprsn.bmp" "$long/"
cd "$long"
write_ini 'ShowCalender=0\r\n'
export XDG_RUNTIME_DIR="$WORK/run" TMPDIR="$WORK/tmp"
start_program
for _ in $(seq 40); do compgen -G "$WORK/run/nagomi-*.sock" >/dev/null && break; sleep 0.05; done
compgen -G "$WORK/run/nagomi-*.sock" >/dev/null || fail "no socket in \$XDG_RUNTIME_DIR"
second_start
sleep 0.5
[ "$(count_windows)" -eq 1 ] || fail "a second start of a long folder made $(count_windows) characters"
kill -TERM "$pid"
wait_exit "$pid"
compgen -G "$WORK/run/nagomi-*.sock" >/dev/null && fail "the socket stayed after a clean end"

# Without it, a "nagomi-<uid>" in the temporary folder that others may enter is refused (she
# says so) and nothing is put into it; she still runs.
unset XDG_RUNTIME_DIR
mkdir -m 755 "$TMPDIR/nagomi-$(id -u)"
start_program
grep -q "no private place for the socket" "$WORK/stderr" || fail "no word of the refused folder"
[ -z "$(ls -A "$TMPDIR/nagomi-$(id -u)")" ] || fail "something was put into the refused folder"
kill -TERM "$pid"
wait_exit "$pid"
echo "ok: instance"
