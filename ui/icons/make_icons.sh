#!/usr/bin/env bash
# Draws the icons with ImageMagick; the PNG files are committed, so this only
# needs running after a change to the drawings.
set -euo pipefail
cd "$(dirname "$0")"

# The application: a part with a resize arrow.
convert -size 256x256 xc:none \
  \( -size 240x240 gradient:'#3a7bd5'-'#1b3f8b' \) -geometry +8+8 -compose over -composite \
  \( -size 256x256 xc:black -fill white -draw "roundrectangle 8,8 247,247 44,44" \) \
  -alpha off -compose copy_opacity -composite -compose over \
  -fill white -stroke '#0d2a5c' -strokewidth 3 -draw "polygon 36,172 124,36 146,36 146,172" \
  -draw "polygon 146,92 190,172 146,172" \
  -stroke '#ffb020' -strokewidth 16 -draw "line 146,210 210,146" \
  -stroke none -fill '#ffb020' -draw "polygon 232,124 232,180 176,124" -draw "polygon 124,232 180,232 124,176" \
  morvane.png

# The help window: a question mark.
convert -size 256x256 xc:none -fill '#1f4e9c' -draw "circle 128,128 128,10" \
  -fill '#2f6fd0' -draw "circle 128,120 128,20" \
  -fill white -font Liberation-Sans-Bold -pointsize 190 -gravity center -annotate +0+8 "?" \
  help.png
