#!/usr/bin/env bash
# Cross-compiles the Windows programs and the test suite with mingw-w64 into BUILD_DIR
# (default: build-windows) and packs dist/parlune-<version>-windows-x64.zip: the programs (the
# command line parlune-cli.exe and the window parlune.exe),
# linked statically (no DLL beside them), README.md and the licences. Installs the Debian
# packages it needs when they are missing. Extra arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."

# librsvg2-bin and icoutils make the window's icon; xdotool and xclip drive the window in
# scripts/test-windows-gui.sh, x11-apps and imagemagick take its pictures.
packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine64 xvfb xauth zip
          librsvg2-bin icoutils xdotool xclip x11-apps imagemagick)
scripts/install-deps.sh "${packages[@]}"

build_dir=${BUILD_DIR:-build-windows}
cmake --preset windows -B "$build_dir" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

version=$(sed -n 's/^project(Parlune VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=parlune-$version-windows-x64
stage=$build_dir/dist/$name
rm -rf "$stage"
mkdir -p "$stage/licences" dist
for program in "$build_dir"/bin/parlune-cli.exe "$build_dir"/bin/parlune.exe; do
    [ -e "$program" ] && x86_64-w64-mingw32-strip -o "$stage/$(basename "$program")" "$program"
done
cp README.md "$stage/"
cp third_party/StormLib/LICENSE "$stage/licences/StormLib.txt"
cp third_party/StormLib/NOTICE "$stage/licences/StormLib-NOTICE.txt"
# The compiler's run-time libraries are linked in; their licences go along.
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/gcc-mingw-w64.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licences/mingw-w64.txt"
rm -f "dist/$name.zip"
(cd "$build_dir/dist" && zip -qr -X "../../dist/$name.zip" "$name")
echo "dist/$name.zip"
