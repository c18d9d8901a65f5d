#!/usr/bin/env bash
# Builds the release packages in build/dist from the committed sources only: the Windows zips
# (32-bit and 64-bit), the Linux tarball, the Debian package and SHA256SUMS. Every run of the
# same commit gives the same bytes: times come from the commit, and the folders it is built in
# are kept out of the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) TZ=UTC LC_ALL=C
version=$(git show HEAD:CMakeLists.txt | sed -n 's/^project(norvane VERSION \([0-9.]*\).*/\1/p')
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
git archive HEAD | tar -x -C "$work/src"

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
sed 's/$/\r/' "$work/src/README.md" >"$work/README.txt"
for bits in 32 64; do
    scripts/pack.py "$out/norvane-$version-win$bits.zip" \
        norvane.exe="$work/win$bits/norvane.exe" README.txt="$work/README.txt"
done
top_folder=norvane-$version-linux-x86_64
scripts/pack.py "$out/$top_folder.tar.gz" "$top_folder/bin/norvane=$work/linux/norvane" \
    "$top_folder/share/man/man1/norvane.1=$work/linux/norvane.1" \
    "$top_folder/README.md=$work/src/README.md"
(cd "$out" && sha256sum -- *.deb *.zip *.tar.gz >SHA256SUMS)
cat "$out/SHA256SUMS"
