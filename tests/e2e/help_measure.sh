#!/usr/bin/env bash
# Measures (does not test) how the help panel copes with help files of one enormous paragraph:
# the time from "へるぷ..." to a panel that answers, and from Ctrl+End to a panel that answers.
# "Answers" means it hid itself on a click of "とじる" sent right after the action. Not run by
# ctest: the numbers depend on the machine.
# Usage: help_measure.sh NAGOMI TOOLS_DIR DATA_DIR [LIMIT_SECONDS]
source "$(dirname "$0")/lib.sh"
limit=${4:-120}
start_xvfb

# 15.7 MB of one-letter runs that alternate bold and italic (1.3 M pairs), in one paragraph.
runs_file() {
    printf '{\\rtf1 '
    head -c $((15700000 / 12 * 12)) /dev/zero | tr '\0' 'x' | sed 's/xxxxxxxxxxxx/{\\b a}{\\i b}/g'
    printf '}'
}
# 8 MB of words in one paragraph.
words_file() {
    printf '{\\rtf1 '
    awk 'BEGIN { s = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod ";
                 for (n = 0; n < 8000000; n += length(s)) printf "%s", s }'
    printf '}'
}

# 16 MiB of CP932 kana in one line of plain text: no space to break at.
kana_file() {
    awk 'BEGIN { s = "\202\240\202\242\202\244\202\246\202\250";
                 for (n = 0; n < 16777216 - 10; n += 10) printf "%s", s }'
}

now_ms() { date +%s%3N; }

# Waits until the window is no longer viewable; prints nothing, fails after the limit.
wait_hidden() {
    local deadline=$(($(now_ms) + limit * 1000))
    while xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

wait_shown() {
    local deadline=$(($(now_ms) + limit * 1000)) id=""
    while :; do
        id=$(xdotool search --onlyvisible --name '^解説とたわごと$' 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && break
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
    echo "$id"
}

measure() {
    local name="$1" app t0 t1 t2 panel pid
    app=$(app_dir "$name")
    "${name}_file" >"$app/help.rtf"
    cd "$app"
    write_ini 'Top=100\r\nLeft=100\r\nShowCalender=0\r\n'
    t0=$(now_ms)
    "$NAGOMI" 2>"$WORK/stderr" &
    pid=$!
    PIDS+=($pid)
    wait_window Mainform >/dev/null
    echo "$name: $(stat -c %s help.rtf) bytes; start to her window $(($(now_ms) - t0)) ms"
    read -r cx cy < <(inner_point pikprsn.bmp.msk)
    xdotool mousemove "$((100 + cx))" "$((100 + cy))"
    sleep 0.2
    xdotool click 3
    sleep 0.5
    t0=$(now_ms)
    xdotool key Up Up Up Return
    if ! panel=$(wait_shown); then
        echo "$name: the panel did not show within ${limit} s"
        kill -KILL "$pid"
        return
    fi
    xdotool mousemove --window "$panel" 105 396 click 1
    if ! wait_hidden "$panel"; then
        echo "$name: the panel did not answer within ${limit} s of opening"
        kill -KILL "$pid"
        return
    fi
    t1=$(now_ms)
    echo "$name: open $((t1 - t0)) ms"
    # Again, to the end of the text.
    xdotool mousemove "$((100 + cx))" "$((100 + cy))"
    sleep 0.2
    xdotool click 3
    sleep 0.5
    xdotool key Up Up Up Return
    panel=$(wait_shown)
    sleep 0.5
    xdotool mousemove --window "$panel" 250 200 click 1
    sleep 0.3
    t1=$(now_ms)
    xdotool key ctrl+End
    xdotool mousemove --window "$panel" 105 396 click 1
    if ! wait_hidden "$panel"; then
        echo "$name: Ctrl+End kept the panel busy for over ${limit} s ($(ps -o rss= -p "$pid") kB)"
        kill -KILL "$pid"
        return
    fi
    t2=$(now_ms)
    echo "$name: Ctrl+End $((t2 - t1)) ms; resident $(ps -o rss= -p "$pid") kB"
    kill -TERM "$pid"
    wait_exit "$pid"
    cd "$WORK"
}

measure runs
measure words
measure kana
