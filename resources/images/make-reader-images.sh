#!/usr/bin/env bash
# Draws the pictures of the QR reader with ImageMagick, into the bundle's
# images folder, each at scale 1 and 2:
#   zbar-back.png (24x24): the help page's back button, a white arrow
#     pointing left on a clear ground;
#   qrcode_bg.png (320x53): the bar under the bind screen's QR reader, a dark
#     shade with a light line on top;
#   qr_button.png (60x36): the background of that bar's cancel button, a
#     rounded grey-blue key with a thin light rim.
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

scan_bar() {  # name scale
  local name=$1 s=$2
  "$convert" -size "$((320 * s))x$((53 * s))" gradient:'#3a3f47'-'#15181c' \
    -fill '#6d7580' -draw "rectangle 0,0 $((320 * s - 1)),$((s - 1))" \
    "PNG32:$name"
}

scan_button() {  # name scale
  local name=$1 s=$2
  "$convert" -size "$((60 * s))x$((36 * s))" xc:none \
    -fill '#4a5a6e' -stroke '#9aa8b8' -strokewidth "$s" \
    -draw "roundrectangle $s,$s $((60 * s - 1 - s)),$((36 * s - 1 - s)) $((6 * s)),$((6 * s))" \
    "PNG32:$name"
}

scan_bar qrcode_bg.png 1
scan_bar qrcode_bg@2x.png 2
scan_button qr_button.png 1
scan_button qr_button@2x.png 2
