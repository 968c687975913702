#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time, as many side by side as there are cores
# (NAGOMI_FUZZ_JOBS to choose). A crash, leak or hang fails the run.
# Usage: scripts/fuzz-smoke.sh FUZZ_DIR [SECONDS]
set -euo pipefail
dir="$1"
seconds="${2:-20}"
jobs="${NAGOMI_FUZZ_JOBS:-$(nproc)}"
corpus_root="$(cd "$(dirname "$0")/.." && pwd)/fuzz/corpus"
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# One target in a scratch corpus seeded from fuzz/corpus; its log and verdict go to $results.
run_target() {
    local target="$1" name work
    name=$(basename "$target")
    work="$results/$name.corpus"
    mkdir "$work"
    seeds="$corpus_root/${name#fuzz_}"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
        "$work" >"$results/$name.log" 2>&1; then
        echo passed >"$results/$name.verdict"
    else
        echo failed >"$results/$name.verdict"
    fi
    rm -rf "$work"
}

for target in "$dir"/fuzz_*; do
    [ -x "$target" ] || continue
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    echo "fuzz: $(basename "$target") for ${seconds}s"
    run_target "$target" &
done
wait

passed=0
failed=0
for verdict in "$results"/*.verdict; do
    [ -e "$verdict" ] || continue
    if [ "$(cat "$verdict")" = passed ]; then
        passed=$((passed + 1))
        name=$(basename "$verdict" .verdict)
        echo "fuzz: $name: $(grep -o 'Done [0-9]* runs' "$results/$name.log" | tail -n1 | cut -d' ' -f2) inputs"
    else
        failed=$((failed + 1))
        name=$(basename "$verdict" .verdict)
        echo "fuzz: $name failed:"
        tail -n 40 "$results/$name.log"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
