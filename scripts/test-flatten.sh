#!/usr/bin/env bash
# The long proof of norvane-check --flatten: SCRIPTS (200) random scripts, each run under Wine
# as a batch file and as the program norvane makes of its flattened lines; they must print the
# same and leave the same files. About two scripts a second. Needs what the Windows tests need.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need-tools.sh
need_tools "Flattening proof" NORVANE_REQUIRE_WINDOWS \
    i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ /usr/lib/wine/wine64
preset=windows-x86
cmake --preset $preset >/dev/null
cmake --build --preset $preset
if ! python3 tests/wine.py probe build/$preset/tests/wine_probe.exe build/$preset/wineprefix \
        >/dev/null; then
    preset=windows-x64
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset
fi
# As CMake runs the Windows tests, the Flattening ones alone.
build=build/$preset
case $preset in windows-x86) cc=i686-w64-mingw32-gcc machine=i686 ;;
                *) cc=x86_64-w64-mingw32-gcc machine=x86_64 ;; esac
NORVANE_FLATTEN_SCRIPTS=${1:-200} python3 tests/windows_test.py --exe $build/norvane.exe \
    --check $build/norvane-check.exe --machine $machine --objdump /bin/true --icon res/norvane.ico \
    --cc "$(command -v $cc)" --console-host $build/tests/console_host.exe \
    --probe $build/tests/wine_probe.exe --prefix "$PWD/$build/wineprefix" Flattening
