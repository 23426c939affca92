#!/usr/bin/env bash
# Renders the icon theme's sizes from morvane.svg with rsvg-convert (Debian's
# librsvg2-bin); the PNG files are committed, so this only needs running
# after a change to the drawing. 256 pixels is ui/icons/morvane.png itself.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128; do
    rsvg-convert --width "$size" --height "$size" morvane.svg --output "morvane-$size.png"
done
# The Windows icon holds them all, with ImageMagick's convert.
convert morvane-{16,24,32,48,64,128}.png ../../ui/icons/morvane.png ../windows/morvane.ico
