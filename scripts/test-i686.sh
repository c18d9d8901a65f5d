#!/usr/bin/env bash
# Builds the tests as a 32-bit x86 Linux program and runs them under qemu-i386-static: the scalar
# and SSE2 scans with 32-bit sizes, as the 32-bit Windows program has them; then again on an
# emulated processor without SSE2, where only the scalar scan may run. Needs g++-multilib,
# qemu-user-static and libgtest-dev:i386; skipped without them, unless NORVANE_REQUIRE_I686 is set.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need-tools.sh
need_tools "32-bit Linux tests" NORVANE_REQUIRE_I686 qemu-i386-static \
    /usr/lib/i386-linux-gnu/libgtest.a
cmake --preset linux-i686 >/dev/null
cmake --build --preset linux-i686
ctest --preset linux-i686
QEMU_CPU=pentium2 ctest --preset linux-i686
