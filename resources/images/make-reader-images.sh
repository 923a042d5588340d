#!/usr/bin/env bash
# Draws the pictures of the QR reader with ImageMagick, into the bundle's
# images folder, each at scale 1 and 2:
#   zbar-back.png (24x24): the help page's back button, a white arrow
#     pointing left on a clear ground.
# Needs: apt-get install imagemagick
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

back_arrow() {  # name scale
  local name=$1 s=$2
  local n=$((24 * s))
  "$convert" -size "${n}x${n}" xc:none \
    -fill none -stroke white -strokewidth $((3 * s)) -draw "stroke-linecap round stroke-linejoin round" \
    -draw "polyline $((15 * s)),$((5 * s)) $((8 * s)),$((12 * s)) $((15 * s)),$((19 * s))" \
    "PNG32:$name"
}

back_arrow zbar-back.png 1
back_arrow zbar-back@2x.png 2
