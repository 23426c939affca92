#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own qt6-base source package,
# once, into a cache outside the tree, and prints the prefix it is in. The
# cache is keyed on what made it: the source version, the options, the patch
# and the compiler; a change of any of them builds it again. Set
# MORVANE_CACHE to keep it elsewhere than ~/.cache/morvane.
set -euo pipefail
# Standard output carries the prefix alone, since callers capture it:
# everything else, apt's output included, goes to standard error.
exec 3>&1 1>&2
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages "${WINDOWS_PACKAGES[@]}" dpkg-dev
ensure_deb_src

cache=${MORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morvane}
patch=$(pwd)/packaging/windows/qt-directwrite3-needs-direct2d.patch
toolchain=$(pwd)/cmake/mingw-w64.cmake
version=$(apt-cache showsrc qt6-base | sed -n 's/^Version: //p' | sort -V | tail -n 1)
# What a Widgets program needs, with Qt's own copies of the third-party
# libraries; tablet events need src/3rdparty/wintab, which the Debian
# source leaves out; OpenGL goes only with INPUT_opengl=no.
options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_direct2d=OFF -DFEATURE_zstd=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_system_libb2=OFF
)
key=$( { echo "$version"; printf '%s\n' "${options[@]}"; cat "$patch" "$toolchain";
         x86_64-w64-mingw32-g++-posix --version | head -n 1; } | sha256sum | cut -c 1-16)
prefix=$cache/qt-win-$key
if [ ! -f "$prefix/.complete" ]; then
    work=$cache/qt-build-$key
    rm -rf "$work" "$prefix"
    mkdir -p "$work"
    echo "Building Qt $version for Windows into $prefix (about half an hour on 2 cores)"
    (cd "$work" && apt-get source --download-only "qt6-base=$version" && dpkg-source -x ./*.dsc source)
    patch -d "$work/source" -p1 < "$patch"
    cmake -S "$work/source" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}"
    cmake --build "$work/build"
    cmake --install "$work/build"
    # What the packages must carry of where Qt came from.
    mkdir -p "$prefix/licences"
    cp "$work/source/LICENSES/LGPL-3.0-only.txt" "$work/source/LICENSES/GPL-3.0-only.txt" "$prefix/licences/"
    echo "$version" > "$prefix/debian-version"
    rm -rf "$work"
    touch "$prefix/.complete"
fi
echo "$prefix" >&3
