#!/usr/bin/env bash
# Builds the release packages and checks what ships (tests/dist_test.py). Needs what the
# Windows tests need, and lintian; skipped without them, unless NORVANE_REQUIRE_DIST is set.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need-tools.sh
need_tools "Package tests" NORVANE_REQUIRE_DIST i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ \
    /usr/lib/wine/wine64 cpack dpkg-deb lintian groff build/windows-x86/tests/wine_probe.exe
scripts/dist.sh
python3 tests/dist_test.py build/dist build
