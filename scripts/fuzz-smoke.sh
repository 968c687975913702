#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time. A crash, leak or hang fails the run.
set -euo pipefail
dir="$1"
seconds="${2:-20}"
corpus_root="$(cd "$(dirname "$0")/.." && pwd)/fuzz/corpus"
failed=0
passed=0
for target in "$dir"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    work=$(mktemp -d)
    seeds="$corpus_root/${name#fuzz_}"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
    echo "fuzz: $name for ${seconds}s"
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
        "$work" >"$work.log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        tail -n 40 "$work.log"
    fi
    rm -rf "$work" "$work.log"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
