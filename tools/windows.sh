#!/usr/bin/env bash
# The Windows leg: builds Qt for Windows once (tools/qt-for-windows.sh),
# builds Morvane for 64-bit Windows with MinGW-w64 in build-win/, runs its
# tests under Wine, checks that morvane-resize.exe writes the very bytes
# the Linux build writes, and makes the installer and the portable zip in
# build-win/package/, then installs, runs and removes the installer's
# Morvane under Wine. Expects the Linux build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages "${WINDOWS_PACKAGES[@]}"

qt=$(bash tools/qt-for-windows.sh)
if [ ! -f "$qt/.complete" ]; then
    echo "tools/qt-for-windows.sh gave no Qt prefix, but: $qt" >&2
    exit 1
fi
export WINEPREFIX=${WINEPREFIX:-${MORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morvane}/wine}
export WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1

echo "== Building for Windows"
build_project . build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$qt" -DMORVANE_QT_WIN="$qt" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake

echo "== Tests under Wine"
ctest --test-dir build-win --output-on-failure

echo "== The same bytes as on Linux"
bash tools/same-bytes.sh build/cli/morvane-resize build-win/morvane-resize.exe "$qt"

echo "== The installer and the portable zip"
rm -rf build-win/package
cpack --config build-win/CPackConfig.cmake -B build-win/package
bash tools/try-installer.sh build-win/package/Morvane-1.1-win64.exe
