#!/usr/bin/env bash
# Runs the fuzz targets, one for each way of scanning, side by side for SECONDS (default 600),
# each from a copy of the committed corpus, and fails if one finds an input on which the program
# and the plain reference disagree (or crash). Findings are kept in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
work=build/fuzz/runs
mkdir -p "$work" build/fuzz/findings
scanners="scalar sse2 avx512"
pids=()
for scanner in $scanners; do
    rm -rf "$work/corpus-$scanner"
    cp -r tests/fuzz_corpus "$work/corpus-$scanner"
    build/fuzz/tests/fuzz_commands_$scanner -max_total_time="$seconds" -max_len=16384 \
        -print_final_stats=1 -artifact_prefix=build/fuzz/findings/$scanner- \
        "$work/corpus-$scanner" >"$work/$scanner.log" 2>&1 &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
for scanner in $scanners; do
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$scanner.log" | grep -o '[0-9]*$' || true)
    if grep -q 'cannot run on this processor' "$work/$scanner.log"; then
        echo "fuzz $scanner scan: skipped, this processor cannot run it"
    else
        echo "fuzz $scanner scan: ${runs:-?} runs in $seconds s"
    fi
done
if [ $status -ne 0 ]; then
    echo "fuzzing found a difference or a crash (build/fuzz/findings):"
    grep -h -B2 -A10 'ERROR\|differs\|stopped reading' "$work"/*.log | head -40
fi
exit $status
