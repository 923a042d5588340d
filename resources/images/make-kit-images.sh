#!/usr/bin/env bash
# Draws the pictures of the UI kit with ImageMagick, into the bundle's images
# folder (pictures are found by name alone), each at scale 1 and 2:
#   close.png (44x44): the modal panel's close button, a dark disc with a
#     white ring and a white cross, centred with room for its shadow;
#   navigationBarBackButton.png (52x30): the back button, a dark bar with a
#     pointed left end and a white chevron; its left 14 points (chevron
#     included) stay, the rest stretches;
#   title-bar2.png (320x44): the navigation bar's picture, a dark shade with
#     a light line on top and a thin warm line along its lower edge.
# Needs: apt-get install imagemagick
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

close_button() {  # name scale
  local name=$1 s=$2
  local n=$((44 * s)) c=$((22 * s)) r=$((14 * s)) k=$((6 * s))
  "$convert" -size "${n}x${n}" xc:none \
    -fill '#1b1d21' -stroke white -strokewidth $((2 * s)) \
    -draw "circle $c,$c $c,$((c - r))" \
    -stroke white -strokewidth $((3 * s)) \
    -draw "stroke-linecap round line $((c - k)),$((c - k)) $((c + k)),$((c + k))" \
    -draw "stroke-linecap round line $((c + k)),$((c - k)) $((c - k)),$((c + k))" \
    -depth 8 -strip "PNG32:$name"
}

back_button() {  # name scale
  local name=$1 s=$2
  local w=$((52 * s)) h=$((30 * s))
  local top=$((1 * s)) bottom=$((29 * s)) mid=$((15 * s)) tip=$((1 * s)) cap=$((13 * s))
  local right=$((51 * s)) radius=$((5 * s))
  local shape="M $tip,$mid L $cap,$top L $((right - radius)),$top Q $right,$top $right,$((top + radius))"
  shape+=" L $right,$((bottom - radius)) Q $right,$bottom $((right - radius)),$bottom L $cap,$bottom Z"
  "$convert" -size "${w}x${h}" xc:none \
    -fill '#2b2f35' -stroke '#0e1012' -strokewidth "$s" -draw "path '$shape'" \
    -stroke '#ffffff40' -draw "line $((cap + s)),$((top + s)) $((right - radius)),$((top + s))" \
    -fill none -stroke white -strokewidth $((2 * s)) \
    -draw "stroke-linecap round stroke-linejoin round polyline $((13 * s)),$((9 * s)) $((8 * s)),$mid $((13 * s)),$((21 * s))" \
    -depth 8 -strip "PNG32:$name"
}

title_bar() {  # name scale
  local name=$1 s=$2
  local w=$((320 * s)) h=$((44 * s))
  "$convert" -size "${w}x${h}" gradient:'#3d4249'-'#1c1f23' \
    -fill '#ffffff30' -draw "rectangle 0,0 $((w - 1)),$((s - 1))" \
    -fill '#ff9069' -draw "rectangle 0,$((h - s)) $((w - 1)),$((h - 1))" \
    -depth 8 -strip "PNG24:$name"
}

close_button close.png 1
close_button close@2x.png 2
back_button navigationBarBackButton.png 1
back_button navigationBarBackButton@2x.png 2
title_bar title-bar2.png 1
title_bar title-bar2@2x.png 2
