#!/usr/bin/env bash
# Installs Morvane silently under Wine with the installer given, checks what
# it installed and that the installed morvane-resize.exe resizes a part,
# then uninstalls it and checks that nothing is left:
#   try-installer.sh Morvane-1.1-win64.exe
set -euo pipefail
installer=$(realpath "$1")
export WINEDEBUG=-all
root="$WINEPREFIX/drive_c/Program Files/Morvane"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Morvane"
wine "$installer" /S
wineserver -w
for file in morvane.exe morvane-resize.exe Morvanehlp.txt Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
    licences/Morvane.txt licences/Qt.txt licences/LGPL-3.0-only.txt licences/Liberation-Sans.txt Uninstall.exe; do
    [ -f "$root/$file" ] || { echo "try-installer: $file was not installed" >&2; exit 1; }
done
[ -f "$menu/Morvane.lnk" ] || { echo "try-installer: no Start menu entry" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '"","wing","metal"\r\nl2\r\nl3\r\nl4\r\nl5\r\n"",1.234,-2.5,3.3\r\n' > "$work/wing.afp"
(cd "$work" && wine "$root/morvane-resize.exe" --right 2 wing.afp >/dev/null)
grep -q '"",2.47,-2.5,3.3' "$work/wing_new1.afp" || { echo "try-installer: the installed command failed" >&2; exit 1; }
wine "$root/Uninstall.exe" /S
wineserver -w
# The uninstaller runs from a copy of itself and ends after it is done.
for wait in 1 2 3 4 5 6 7 8 9 10; do
    [ -e "$root" ] || break
    sleep 1
done
if [ -e "$root" ] || [ -e "$menu" ]; then
    echo "try-installer: the uninstaller left files behind:" >&2
    find "$root" "$menu" >&2 2>/dev/null || true
    exit 1
fi
echo "try-installer: installed, resized a part, and removed again"
