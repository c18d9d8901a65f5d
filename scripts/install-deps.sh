#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the benchmark need and is
# missing. Does nothing when everything is already there; otherwise it needs root, and without
# it says what is missing and the one command to run, and fails.
set -euo pipefail

# Wine's loaders for 64-bit and for 32-bit programs: the second installs everywhere but runs only
# where the kernel runs 32-bit code, and the Windows tests fall back to the 64-bit build elsewhere.
packages=(cmake ninja-build g++ make python3 libgtest-dev time strace gdb
          clang libclang-rt-dev
          mingw-w64 wine64 wine32:i386 icoutils lintian groff-base
          g++-multilib qemu-user-static libgtest-dev:i386)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "missing: ${missing[*]}"
    echo "to install them, run as root: sudo $0"
    exit 1
fi

echo "installing: ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
