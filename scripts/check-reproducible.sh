#!/usr/bin/env bash
# Builds the release packages twice, from two clones of the last commit in two different
# folders, a moment apart, and fails unless both give the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
first=$(mktemp -d)
second=$(mktemp -d)
trap 'rm -rf "$first" "$second"' EXIT
git clone -q . "$first/norvane"
git clone -q . "$second/elsewhere/norvane"
"$first/norvane/scripts/dist.sh" >/dev/null
sleep 2
"$second/elsewhere/norvane/scripts/dist.sh" >/dev/null
if cmp -s "$first/norvane/build/dist/SHA256SUMS" "$second/elsewhere/norvane/build/dist/SHA256SUMS"; then
    echo "reproducible: two builds in two folders gave the same packages"
    cat "$first/norvane/build/dist/SHA256SUMS"
else
    echo "not reproducible: the two builds differ"
    diff "$first/norvane/build/dist/SHA256SUMS" "$second/elsewhere/norvane/build/dist/SHA256SUMS"
    exit 1
fi
