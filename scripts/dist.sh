#!/usr/bin/env bash
# Builds the release packages in build/dist, each with norvane and norvane-check: the source
# archive, the Windows zips (32-bit and 64-bit), the Linux tarball, the Debian package and
# SHA256SUMS. In a git clone the sources are the last commit's, and its time is the packages'
# time. Elsewhere (an unpacked source archive) they are the tree as it is, and the time is
# SOURCE_DATE_EPOCH from the environment, from the file of that name that the source archive
# carries, or else the newest file's. The same sources give the same bytes on every run, and the
# folders they are built in are kept out of them.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
export TZ=UTC LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    git archive HEAD | tar -x -C "$work/src"
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
else
    tar -c --exclude=./build --exclude=__pycache__ . | tar -x -C "$work/src"
    [ -n "${SOURCE_DATE_EPOCH:-}" ] || SOURCE_DATE_EPOCH=$(cat SOURCE_DATE_EPOCH 2>/dev/null ||
        find "$work/src" -type f -printf '%T@\n' | sort -n | tail -1 | cut -d. -f1)
fi
export SOURCE_DATE_EPOCH
echo "$SOURCE_DATE_EPOCH" >"$work/src/SOURCE_DATE_EPOCH"
version=$(sed -n 's/^project(norvane VERSION \([0-9.]*\).*/\1/p' "$work/src/CMakeLists.txt")

build() { # folder, CMake options
    local flags="-ffile-prefix-map=$work=."
    cmake -S "$work/src" -B "$work/$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" "${@:2}" >/dev/null
    cmake --build "$work/$1" >/dev/null
}
build linux -DNORVANE_STATIC=ON -DNORVANE_DEBIAN=ON -DCMAKE_INSTALL_PREFIX=/usr
build win32 -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-i686.cmake"
build win64 -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-x86_64.cmake"
(cd "$work/linux" && cpack -G DEB >/dev/null)

out=$top/build/dist
rm -rf "$out"
mkdir -p "$out"
cp "$work/linux/norvane_${version}_amd64.deb" "$out/"
# For Notepad: CR LF line ends, and a byte-order mark that tells every version it is UTF-8.
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' "$work/src/packaging/windows/README.txt"; } >"$work/README.txt"
for bits in 32 64; do
    scripts/pack.py "$out/norvane-$version-win$bits.zip" \
        norvane.exe="$work/win$bits/norvane.exe" \
        norvane-check.exe="$work/win$bits/norvane-check.exe" README.txt="$work/README.txt"
done
top_folder=norvane-$version-linux-x86_64
scripts/pack.py "$out/$top_folder.tar.gz" "$top_folder/bin/norvane=$work/linux/norvane" \
    "$top_folder/bin/norvane-check=$work/linux/norvane-check" \
    "$top_folder/share/man/man1/norvane.1=$work/linux/norvane.1" \
    "$top_folder/share/man/man1/norvane-check.1=$work/linux/norvane-check.1" \
    "$top_folder/README.md=$work/src/README.md"
scripts/pack.py "$out/norvane-$version.tar.gz" "norvane-$version/=$work/src/"
(cd "$out" && sha256sum -- *.deb *.zip *.tar.gz >SHA256SUMS)
cat "$out/SHA256SUMS"
