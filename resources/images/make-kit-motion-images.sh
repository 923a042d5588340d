#!/usr/bin/env bash
# Draws the pictures of the pull-to-refresh header and the tab menu with
# ImageMagick, into the bundle's images folder (pictures are found by name):
#   whiteArrow.png (30x55) and @2x: a white arrow pointing down, the pull hint;
#   qbjl.png (18x20) and @2x: three lines of a list, "all entries";
#   dlrz.png (18x20) and @2x: a key, "login entries";
#   ycxx2.png (18x20) and @2x: a warm triangle with a mark, "abnormal entries".
# Needs: apt-get install imagemagick
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

arrow() {  # name scale
  local s=$2
  "$convert" -size "$((30 * s))x$((55 * s))" xc:none -fill white -stroke none \
    -draw "rectangle $((12 * s)),$((4 * s)) $((18 * s - 1)),$((38 * s))" \
    -draw "polygon $((4 * s)),$((34 * s)) $((26 * s)),$((34 * s)) $((15 * s)),$((51 * s))" \
    -depth 8 -strip "$1"
}

list_icon() {  # name scale
  local s=$2
  "$convert" -size "$((18 * s))x$((20 * s))" xc:none -fill '#ff9069' -stroke none \
    -draw "rectangle $((2 * s)),$((4 * s)) $((16 * s - 1)),$((6 * s - 1))" \
    -draw "rectangle $((2 * s)),$((9 * s)) $((16 * s - 1)),$((11 * s - 1))" \
    -draw "rectangle $((2 * s)),$((14 * s)) $((16 * s - 1)),$((16 * s - 1))" \
    -depth 8 -strip "$1"
}

key_icon() {  # name scale
  local s=$2
  "$convert" -size "$((18 * s))x$((20 * s))" xc:none -fill none -stroke '#ff9069' -strokewidth "$((2 * s))" \
    -draw "circle $((6 * s)),$((7 * s)) $((6 * s)),$((3 * s))" \
    -draw "line $((9 * s)),$((10 * s)) $((15 * s)),$((17 * s))" \
    -draw "line $((12 * s)),$((14 * s)) $((15 * s)),$((12 * s))" \
    -depth 8 -strip "$1"
}

warning_icon() {  # name scale
  local s=$2
  "$convert" -size "$((18 * s))x$((20 * s))" xc:none -fill '#e8553a' -stroke none \
    -draw "polygon $((9 * s)),$((2 * s)) $((17 * s)),$((18 * s)) $((1 * s)),$((18 * s))" \
    -fill white -draw "rectangle $((8 * s)),$((7 * s)) $((10 * s - 1)),$((13 * s))" \
    -draw "rectangle $((8 * s)),$((15 * s)) $((10 * s - 1)),$((16 * s))" \
    -depth 8 -strip "$1"
}

arrow whiteArrow.png 1
arrow whiteArrow@2x.png 2
list_icon qbjl.png 1
list_icon qbjl@2x.png 2
key_icon dlrz.png 1
key_icon dlrz@2x.png 2
warning_icon ycxx2.png 1
warning_icon ycxx2@2x.png 2
