#!/usr/bin/env bash
# Draws the launch images of both screen sizes with ImageMagick:
#   Default.png (320x480), Default@2x.png (640x960), Default-568h@2x.png (640x1136).
# Needs: apt-get install imagemagick fonts-wqy-microhei
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

draw() {  # name width height scale
  local name=$1 w=$2 h=$3 s=$4
  local cx=$((w / 2)) cy=$((h * 2 / 5))
  local r=$((56 * s))
  # A shield: a rounded top and a pointed bottom, drawn as one path.
  local top=$((cy - r)) mid=$((cy + r / 3)) tip=$((cy + r + r / 4))
  local left=$((cx - r)) right=$((cx + r))
  "$convert" -size "${w}x${h}" gradient:'#0b3d6e'-'#1a8c8c' \
    -fill '#ffffff22' -draw "circle $cx $cy $cx $((cy - r * 2))" \
    -fill '#f4f8fb' -stroke '#d8e6f0' -strokewidth $((2 * s)) \
    -draw "path 'M $left,$top Q $cx,$((top - r / 3)) $right,$top L $right,$mid Q $right,$((tip - r / 3)) $cx,$tip Q $left,$((tip - r / 3)) $left,$mid Z'" \
    -stroke none -fill '#1a6fa8' -font "$font" -pointsize $((34 * s)) -gravity north \
    -annotate +0+$((cy - 24 * s)) '禾' \
    -fill '#ffffff' -pointsize $((30 * s)) -annotate +0+$((cy + r + 36 * s)) '禾盾' \
    -fill '#d6ecf3' -pointsize $((13 * s)) -annotate +0+$((cy + r + 80 * s)) '账号安全 · 动态密码 · 一键放行' \
    -fill '#9fc3d6' -pointsize $((11 * s)) -gravity south -annotate +0+$((18 * s)) '禾川账号安全中心' \
    -strip "$name"
}

draw Default.png 320 480 1
draw Default@2x.png 640 960 2
draw Default-568h@2x.png 640 1136 2
