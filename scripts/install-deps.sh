#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the benchmark need and is
# missing, in two steps: what every machine needs, which must succeed, then what only some
# machines can use, which may fail without failing the run. Does nothing when everything is
# already there; otherwise it needs root, and without it says what is missing and the one
# command to run.
set -uo pipefail

required=(cmake ninja-build g++ make python3 libgtest-dev time strace gdb patch
          clang libclang-rt-dev
          mingw-w64 wine64 icoutils lintian groff-base
          g++-multilib qemu-user-static libgtest-dev:i386)
# Wine's loader for 32-bit programs runs only where the kernel runs 32-bit code; where it is
# missing, the Windows tests take the 64-bit build under wine64.
optional=(wine32:i386)

missing() {
    local package
    for package; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
            echo "$package"
    done
}

# The SARIF validator comes from npm's registry, where only npm can fetch it; Debian packages
# npm where a machine has none.
command -v npm >/dev/null || optional+=(npm)
sarif_validator=/opt/sarif-multitool/node_modules/.bin/sarif-multitool

# install_sarif_validator: best effort, as the tests that need it skip without it.
install_sarif_validator() {
    [ -x "$sarif_validator" ] && return 0
    if [ "$(id -u)" -ne 0 ] || ! command -v npm >/dev/null; then
        echo "not installed: the SARIF validator (needs root and npm); its test is skipped"
        return 0
    fi
    echo "installing: @microsoft/sarif-multitool from npm into /opt/sarif-multitool"
    if npm install --prefix /opt/sarif-multitool --no-audit --no-fund --loglevel=error \
            @microsoft/sarif-multitool >"$log" 2>&1; then
        # Its install script, which npm may not run, makes the program executable.
        chmod -f u+x /opt/sarif-multitool/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool || true
    else
        echo "not installed: the SARIF validator ($(tail -n1 "$log")); its test is skipped"
    fi
    return 0
}

log=$(mktemp)
held=$(mktemp)
trap 'rm -f "$log" "$held"' EXIT

mapfile -t missing_required < <(missing "${required[@]}")
mapfile -t missing_optional < <(missing "${optional[@]}")
if [ ${#missing_required[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
    install_sarif_validator
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    if [ ${#missing_required[@]} -ne 0 ]; then
        echo "missing: ${missing_required[*]} ${missing_optional[*]}"
        echo "to install them, run as root: sudo $0"
        exit 1
    fi
    echo "not installed: ${missing_optional[*]} (needs root: sudo $0); the tests that need it" \
         "take their fallback"
    exit 0
fi

# A list that fails to update, as one does while a mirror is mid-sync, is named; the run goes
# on with those that were read.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q >"$log" 2>&1
sed -n 's/^E: Failed to fetch \([^ ]*\) *\(.*\)/not updated: \1 (\2); going on with the lists that were read/p' "$log"

# Where a mirror has an architecture's security updates but not the other's, apt cannot keep a
# multiarch library at one version on both and refuses. Held at the release's own versions, on
# both architectures, they match again.
. /etc/os-release
printf 'Package: *\nPin: release n=%s,l=Debian\nPin-Priority: 1001\n' \
    "${VERSION_CODENAME:-stable}" >"$held"

# apt's first error, or its last word where it gave none.
reason() {
    grep -m1 '^E:' "$log" || tail -n1 "$log"
}

# install PACKAGE...: as apt picks the versions, then, if its resolver refuses, held.
install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >"$log" 2>&1 && return 0
    echo "apt-get install refused ($(reason)); trying again with both" \
         "architectures held at ${VERSION_CODENAME:-stable}'s versions"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --allow-downgrades \
        -o Dir::Etc::Preferences="$held" "$@" >"$log" 2>&1
}

if [ ${#missing_required[@]} -ne 0 ]; then
    echo "installing: ${missing_required[*]}"
    if ! install "${missing_required[@]}"; then
        cat "$log"
        echo "could not install what the build and the tests need: ${missing_required[*]}"
        exit 1
    fi
fi
if [ ${#missing_optional[@]} -ne 0 ]; then
    echo "installing where it can: ${missing_optional[*]}"
    install "${missing_optional[@]}" ||
        echo "not installed: ${missing_optional[*]} ($(reason)); the tests" \
             "that need it take their fallback"
fi
install_sarif_validator
exit 0
