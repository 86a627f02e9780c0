#!/bin/sh
# Renders the labelled event pictures of the demo scenario (resources/demo/snapshots/).
# Run once after changing the list; the JPEGs are committed. Needs ImageMagick's "convert".
set -eu
out="${1:-$(dirname "$0")/../../resources/demo/snapshots}"
mkdir -p "$out"
render() { # file, background colour, label
    convert -size 640x360 "xc:$2" \
        -fill '#ffffff22' -draw 'rectangle 0,290 640,360' \
        -fill white -font DejaVu-Sans-Bold -pointsize 40 -gravity center -annotate +0-20 "$3" \
        -pointsize 18 -gravity south -annotate +0+24 'KRNotify demo camera' \
        -quality 80 "$out/$1"
}
render access-granted.jpg '#2e7d32' 'Access granted'
render access-denied.jpg '#c62828' 'Access denied'
render door-forced.jpg '#6a1b9a' 'Door forced open'
render door-held.jpg '#ef6c00' 'Door held open'
render input-alarm.jpg '#1565c0' 'Input alarm'
render unknown-card.jpg '#37474f' 'Unknown card'
