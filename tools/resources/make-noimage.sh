#!/bin/sh
# Writes resources/NoImage.jpg: the picture shown in a thumbnail cell while an event's snapshot
# is missing. A plain grey field with a camera outline and "No image". Needs ImageMagick.
set -eu
out="${1:-$(dirname "$0")/../../resources/NoImage.jpg}"
convert -size 160x120 xc:'#9a9a9a' \
  -fill '#d8d8d8' -stroke '#5a5a5a' -strokewidth 3 \
  -draw 'roundrectangle 48,26 112,70 6,6' \
  -draw 'rectangle 58,18 76,26' \
  -fill '#9a9a9a' -draw 'circle 80,48 80,36' \
  -fill '#d8d8d8' -stroke none -draw 'circle 80,48 80,42' \
  -fill '#3a3a3a' -stroke none -font DejaVu-Sans -pointsize 18 -gravity south -annotate +0+12 'No image' \
  -quality 85 "$out"
