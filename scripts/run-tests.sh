#!/usr/bin/env bash
# Runs every suite, each even after another failed, and ends with one line that totals them:
# tests passed and failed, the suites skipped for want of a tool, and which Windows program ran
# under Wine. Exits 1 if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
passed=0 failed=0 failing=() skipped=() windows=

# suite NAME KIND COMMAND...: runs it, shows its output, and counts its tests from what CTest
# or Python's unittest (KIND) prints; a suite that fails before any test ran counts as one
# failed.
suite() {
    local name=$1 kind=$2 status counted=0 line ran=0 f
    shift 2
    "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    while IFS= read -r line; do
        if [[ $line =~ ^Windows\ tests:\ (the\ .*) ]]; then
            windows=${BASH_REMATCH[1]}
        elif [[ $line =~ ^(.*)\ skipped,\ missing:(.*)\ \( ]]; then
            skipped+=("${BASH_REMATCH[1]} (missing${BASH_REMATCH[2]})")
        elif [ "$kind" = ctest ]; then
            [[ $line =~ tests\ passed,\ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]] || continue
            passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
            failed=$((failed + BASH_REMATCH[1])) counted=1
        elif [[ $line =~ ^(test_[a-z_0-9]+)\ .*\.\.\.\ skipped\ (.*) ]]; then
            skipped+=("${BASH_REMATCH[1]} of the $name (${BASH_REMATCH[2]})")
            ran=$((ran - 1))
        elif [[ $line =~ ^Ran\ ([0-9]+)\ tests? ]]; then
            ran=$((ran + BASH_REMATCH[1]))
        elif [[ $line =~ ^(OK|FAILED) ]]; then
            f=0
            [[ $line =~ failures=([0-9]+) ]] && f=$((f + BASH_REMATCH[1]))
            [[ $line =~ errors=([0-9]+) ]] && f=$((f + BASH_REMATCH[1]))
            passed=$((passed + ran - f)) failed=$((failed + f)) counted=1
        fi
    done <"$log"
    if [ "$status" -ne 0 ]; then
        [ $counted -eq 1 ] || failed=$((failed + 1))
        failing+=("$name")
    fi
}

suite "native tests" ctest bash -c 'make --no-print-directory build && ctest --preset release'
suite "32-bit Linux tests" ctest scripts/test-i686.sh
suite "Windows tests" ctest scripts/test-windows.sh
suite "package tests" unittest scripts/test-dist.sh

total="$passed passed, $failed failed"
[ ${#failing[@]} -eq 0 ] || total+=" (in: $(IFS=,; echo "${failing[*]}" | sed 's/,/, /g'))"
[ ${#skipped[@]} -eq 0 ] || total+="; skipped: $(IFS=,; echo "${skipped[*]}" | sed 's/,/, /g')"
[ -z "$windows" ] || total+="; Windows: $windows"
echo "make test: $total"
[ ${#failing[@]} -eq 0 ]
