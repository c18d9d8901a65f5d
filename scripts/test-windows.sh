#!/usr/bin/env bash
# Builds the Windows program and tests it: its .exe file as built, then its behaviour under Wine.
# The shipped build is the 32-bit one. Where Wine cannot run 32-bit programs (some kernels refuse
# 32-bit code altogether), the same sources are built for 64-bit Windows and that build's
# behaviour is tested instead, unless NORVANE_REQUIRE_WIN32 is set. Missing tools skip the tests,
# unless NORVANE_REQUIRE_WINDOWS is set.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/need-tools.sh
need_tools "Windows tests" NORVANE_REQUIRE_WINDOWS \
    i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ wrestool /usr/lib/wine/wine64

build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
}

build windows-x86
if why_not=$(python3 tests/wine.py probe build/windows-x86/tests/wine_probe.exe \
                 build/windows-x86/wineprefix); then
    echo "Windows tests: the 32-bit norvane.exe under /usr/lib/wine/wine"
    ctest --preset windows-x86
    exit
fi
if [ -n "${NORVANE_REQUIRE_WIN32:-}" ]; then
    echo "Windows tests cannot run the 32-bit program: $why_not"
    exit 1
fi
echo "Windows tests: the 32-bit norvane.exe as built, the 64-bit one under" \
     "/usr/lib/wine/wine64, since $why_not"
ctest --preset windows-x86 --label-regex exe
build windows-x64
ctest --preset windows-x64
