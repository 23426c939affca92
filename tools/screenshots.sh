#!/usr/bin/env bash
# Takes the README's pictures of the windows again, whenever a window
# changes: builds Morvane, starts it under Xvfb with openbox on a wing made
# here, opens the size window, and writes small PNGs into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" xvfb openbox xdotool imagemagick
build_project . build
program=$(pwd)/build/app/morvane
out=$(pwd)/docs

# Outside /tmp, whose many entries would crowd the folder tree.
work=$(mktemp -d -p /var/tmp morvane-shots.XXXXXX)
mkdir "$work/Wings"
pids=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A tapered, swept wing of 41 sections of a 12 % thick profile (NACA
# 4-digit thickness), 8 long along RIGHT.
awk 'BEGIN {
    printf "\"\",\"wing\",\"Tapered wing\"\r\n\"\",\"metal\"\r\n\"\",0\r\n\"\",0\r\n\"\",0\r\n"
    for (i = 0; i <= 40; i++) {
        span = 8 * i / 40; chord = 2.2 - 1.3 * i / 40; sweep = 0.35 * span; lift = 0.06 * span
        for (j = 0; j <= 60; j++) {
            x = (1 - cos(3.14159265 * j / 60)) / 2
            t = 0.6 * (0.2969 * sqrt(x) - 0.126 * x - 0.3516 * x^2 + 0.2843 * x^3 - 0.1015 * x^4)
            for (side = -1; side <= 1; side += 2)
                printf "\"\",%.3f,%.3f,%.3f\r\n", span, -sweep - x * chord, lift + side * t * chord
        }
    }
}' >"$work/Wings/wing.afp"

# A display of our own, and a window manager to draw the title bars.
for display in $(seq 60 99); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp &
pids+=($!)
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox &
pids+=($!)
sleep 1

# Clicks at (x, y) in a window, in its own pixels.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }
# Writes a window's picture, down to a palette of colours: a few tens of KB.
picture() {
    import -window "$1" -frame "$work/shot.png"
    convert "$work/shot.png" -strip -colors 96 "PNG8:$out/$2"
    echo "$out/$2: $(stat -c %s "$out/$2") bytes"
}

(cd "$work/Wings" && exec env QT_QPA_PLATFORMTHEME= "$program") &
pids+=($!)
main=$(xdotool search --sync --name '^AF99 Morvane Part Application')
sleep 1
# The part, then factors for a wing 11.2 long, as the windows' positions
# lay them out at 96 dpi.
click "$main" 60 168
for box in "512 132 1.4" "512 172 1.4" "512 212 1.4"; do
    read -r x y factor <<<"$box"
    click "$main" "$x" "$y"
    xdotool key ctrl+a type "$factor"
done
click "$main" 60 168
picture "$main" main-window.png
xdotool key alt+Return
size=$(xdotool search --sync --name '^wing\.afp')
sleep 2
picture "$size" size-window.png
