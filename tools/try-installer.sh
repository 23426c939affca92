#!/usr/bin/env bash
# Installs Morvane silently under Wine with the installer given and checks
# what it installed; starts the program as the Start menu entry and the
# uninstall entry's icon name it, on a virtual display of its own; resizes
# a part with the installed morvane-resize.exe; then uninstalls it with the
# command its uninstall entry gives and checks that nothing is left:
#   try-installer.sh Morvane-1.1-win64.exe
set -euo pipefail
installer=$(realpath "$1")
export WINEDEBUG=-all
# No menu entries on this desktop for the Start menu's.
export WINEDLLOVERRIDES=winemenubuilder.exe=d
fail() {
    echo "try-installer: $*" >&2
    exit 1
}
installed='C:\Program Files\Morvane'
root="$WINEPREFIX/drive_c/Program Files/Morvane"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Morvane"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvane'
vendor='HKLM\Software\Morvane team'
temp=$(wine winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")
uninstaller_copies() { find "$temp" -maxdepth 1 -name '~nsu*.tmp' | sort; }
copies_before=$(uninstaller_copies)

# The path a shortcut leads to, as its link information holds it: the
# local base path, then the common path suffix, each ending in a NUL.
shortcut_target() {
    local file=$1 flags at=76 info
    number() { od -An -tu"$2" -j "$1" -N"$2" "$file" | tr -d ' '; }
    text() { tail -c +$(($1 + 1)) "$file" | tr '\0' '\n' | head -n 1; }
    flags=$(number 20 4)
    (((flags & 1) == 0)) || at=$((at + 2 + $(number 76 2)))
    (((flags & 2) != 0)) || fail "$file holds no link information"
    info=$at
    (($(number $((info + 8)) 4) & 1)) || fail "$file holds no local path"
    echo "$(text $((info + $(number $((info + 16)) 4))))$(text $((info + $(number $((info + 24)) 4))))"
}
# A value of the uninstall entry.
entry_value() {
    wine reg query "$entry" /v "$1" | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}
# Starts the Windows program at PATH, waits for its main window, and ends it.
starts() {
    local program pid
    program=$(wine winepath -u "$1")
    [ -f "$program" ] || fail "$2 leads to $1, which is not there"
    wine "$1" &
    pid=$!
    for try in $(seq 30); do
        if wine winedbg --command "info wnd" 2>/dev/null | grep -q 'AF99 Morvane'; then
            kill "$pid"
            wait "$pid" || true
            wineserver -w
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || fail "$2: $1 ended without showing its window"
        sleep 1
    done
    kill "$pid"
    fail "$2: $1 showed no window in 30 seconds"
}

wine "$installer" /S
wineserver -w
for file in morvane.exe morvane-resize.exe Morvanehlp.txt Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
    licences/Morvane.txt licences/Qt.txt licences/LGPL-3.0-only.txt licences/Liberation-Sans.txt Uninstall.exe; do
    [ -f "$root/$file" ] || fail "$file was not installed"
done
[ -f "$menu/Morvane.lnk" ] || fail "no Start menu entry"
target=$(shortcut_target "$menu/Morvane.lnk")
[ "$target" = "$installed\\morvane.exe" ] || fail "the Start menu entry leads to $target"
icon=$(entry_value DisplayIcon)
[ "$icon" = "$installed\\morvane.exe" ] || fail "the uninstall entry's icon is $icon"
uninstall=$(entry_value UninstallString)
[ "$uninstall" = "\"$installed\\Uninstall.exe\"" ] || fail "the uninstall entry's command is $uninstall"

# The program's windows want a display: a virtual one of its own.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work" "$display_file"' EXIT
for try in $(seq 30); do
    [ -s "$display_file" ] && break
    sleep 0.2
done
DISPLAY=:$(cat "$display_file") starts "$target" "the Start menu entry"
DISPLAY=:$(cat "$display_file") starts "$icon" "the uninstall entry's icon"

printf '"","wing","metal"\r\nl2\r\nl3\r\nl4\r\nl5\r\n"",1.234,-2.5,3.3\r\n' > "$work/wing.afp"
(cd "$work" && wine "$root/morvane-resize.exe" --right 2 wing.afp >/dev/null)
grep -q '"",2.47,-2.5,3.3' "$work/wing_new1.afp" || fail "the installed command failed"

# As Settings, Apps runs it: the program the entry's command names.
uninstall=${uninstall#\"}
wine "${uninstall%\"}" /S
wineserver -w
# The uninstaller runs from a copy of itself and ends after it is done.
for try in $(seq 10); do
    [ -e "$root" ] || break
    sleep 1
done
if [ -e "$root" ] || [ -e "$menu" ]; then
    echo "try-installer: the uninstaller left files behind:" >&2
    find "$root" "$menu" >&2 2>/dev/null || true
    exit 1
fi
for key in "$entry" "$vendor"; do
    ! wine reg query "$key" >/dev/null 2>&1 || fail "the uninstaller left the registry key $key"
done
[ "$(uninstaller_copies)" = "$copies_before" ] || fail "the uninstaller left its copy in $temp: $(uninstaller_copies)"
echo "try-installer: installed, started, resized a part, and removed again"
