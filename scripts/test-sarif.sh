#!/usr/bin/env bash
# norvane-check's SARIF log, as the OASIS validator reads it: the schema and its rules. Takes
# the norvane-check to run. Skips (status 77) where the validator is not installed, unless
# NORVANE_REQUIRE_SARIF is set; scripts/install-deps.sh installs it from npm.
set -euo pipefail
check=$1
validator=${SARIF_MULTITOOL:-/opt/sarif-multitool/node_modules/.bin/sarif-multitool}
if [ ! -x "$validator" ]; then
    echo "SARIF validation skipped, missing: $validator (scripts/install-deps.sh installs it)"
    [ -n "${NORVANE_REQUIRE_SARIF:-}" ] && exit 1
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Findings of each severity, with fixes, a byte that is no UTF-8 and a name that needs escaping.
printf '@echo off\r\nset OUT=C:\\proj\\build\r\nif not exist %%OUT%% mkdir %%OUT%%\r\ncd /d %%OUT%%\r\nfor %%%%f in (main util) do cl /c ..\\src\\%%%%f.c\r\n' >build.bat
printf 'rem norvane-check disable=nosuch\r\necho caf\xe9 %%1\r\ngoto x\r\necho y\r\n:x\r\n' >'my script.cmd'
status=0
"$check" --format=sarif build.bat 'my script.cmd' >log.sarif || status=$?
[ $status -eq 1 ] || { echo "norvane-check exited $status"; exit 1; }
"$validator" validate log.sarif >validation.txt 2>&1 || status=2
cat validation.txt
if [ $status -eq 2 ] || grep -q ': error ' validation.txt; then
    echo "the SARIF log does not validate"
    exit 1
fi
echo "SARIF validation: the log validates"
