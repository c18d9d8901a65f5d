#!/usr/bin/env bash
# Runs the fuzz targets side by side for SECONDS (default 600), each from a copy of its committed
# corpus: one for each way of scanning, which fails where the program and the plain reference
# disagree, norvane-check, which fails where a finding points outside the script, and --flatten,
# which fails where norvane-check names something in what it writes; each fails on a crash.
# Findings are kept in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
work=build/fuzz/runs
mkdir -p "$work" build/fuzz/findings
# Each target: its name, its program, its corpus.
targets=("scalar scan:fuzz_commands_scalar:fuzz_corpus" "sse2 scan:fuzz_commands_sse2:fuzz_corpus"
         "avx512 scan:fuzz_commands_avx512:fuzz_corpus" "norvane-check:fuzz_check:fuzz_corpus_check"
         "norvane-check --flatten:fuzz_flatten:fuzz_corpus_check")
pids=()
for target in "${targets[@]}"; do
    IFS=: read -r name program corpus <<<"$target"
    rm -rf "$work/corpus-$program"
    cp -r "tests/$corpus" "$work/corpus-$program"
    build/fuzz/tests/$program -max_total_time="$seconds" -max_len=16384 \
        -print_final_stats=1 -artifact_prefix=build/fuzz/findings/$program- \
        "$work/corpus-$program" >"$work/$program.log" 2>&1 &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
for target in "${targets[@]}"; do
    IFS=: read -r name program corpus <<<"$target"
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$program.log" | grep -o '[0-9]*$' || true)
    if grep -q 'cannot run on this processor' "$work/$program.log"; then
        echo "fuzz $name: skipped, this processor cannot run it"
    else
        echo "fuzz $name: ${runs:-?} runs in $seconds s"
    fi
done
if [ $status -ne 0 ]; then
    echo "fuzzing found a difference or a crash (build/fuzz/findings):"
    grep -h -B2 -A10 'ERROR\|differs\|stopped reading\|outside the script\|out of order\|does not parse\|flattened into' "$work"/*.log | head -40
fi
exit $status
