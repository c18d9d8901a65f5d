#!/usr/bin/env bash
# Builds the release packages and checks what ships (tests/dist_test.py). Needs what the
# Windows tests need, and lintian; skipped without them, unless NORVANE_REQUIRE_DIST is set.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=
for tool in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ /usr/lib/wine/wine64 cpack dpkg-deb \
        lintian groff; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
[ -e build/windows-x86/tests/wine_probe.exe ] || missing="$missing (the Windows tests' builds)"
if [ -n "$missing" ]; then
    if [ -n "${NORVANE_REQUIRE_DIST:-}" ]; then
        echo "Package tests cannot run, missing:$missing"
        exit 1
    fi
    echo "Package tests skipped, missing:$missing (scripts/install-deps.sh installs them)"
    exit 0
fi
scripts/dist.sh
python3 tests/dist_test.py build/dist build
