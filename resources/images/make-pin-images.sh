#!/usr/bin/env bash
# Draws the pictures of the start-PIN screens with ImageMagick, into the
# bundle's images folder (pictures are found by name alone):
#   pin_box.png   (50x50, @2x 100x100): one slot of the four-digit entry, a
#                 white rounded square with a grey rim;
#   pin_dot.png   (50x50, @2x 100x100): the dot over a slot holding a digit;
#   check_on.png / check_off.png (22x22, @2x 44x44): the two states of the
#                 choice boxes (protection on, keep protections).
# Needs: apt-get install imagemagick
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

box() {  # name scale
  local s=$2 w=$((50 * $2))
  "$convert" -size "${w}x${w}" xc:none -fill white -stroke '#9aa3ad' -strokewidth "$s" \
    -draw "roundrectangle $s,$s $((w - 1 - s)),$((w - 1 - s)) $((6 * s)),$((6 * s))" -depth 8 -strip "$1"
}

dot() {  # name scale
  local s=$2 w=$((50 * $2)) c=$((25 * $2)) r=$((8 * $2))
  "$convert" -size "${w}x${w}" xc:none -fill '#2b3038' -draw "circle $c,$c $((c + r)),$c" -depth 8 -strip "$1"
}

check() {  # name scale on
  local s=$2 w=$((22 * $2))
  local args=(-size "${w}x${w}" xc:none -fill white -stroke '#6b7580' -strokewidth "$s"
    -draw "roundrectangle $s,$s $((w - 1 - s)),$((w - 1 - s)) $((3 * s)),$((3 * s))")
  if [ "$3" = on ]; then
    args+=(-fill none -stroke '#1f8a4c' -strokewidth $((3 * s))
      -draw "polyline $((5 * s)),$((11 * s)) $((9 * s)),$((16 * s)) $((17 * s)),$((6 * s))")
  fi
  "$convert" "${args[@]}" -depth 8 -strip "$1"
}

box pin_box.png 1
box pin_box@2x.png 2
dot pin_dot.png 1
dot pin_dot@2x.png 2
check check_on.png 1 on
check check_on@2x.png 2 on
check check_off.png 1 off
check check_off@2x.png 2 off
