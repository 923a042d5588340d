#!/usr/bin/env bash
# Draws the product container's tab buttons with ImageMagick, 100x88 points
# (and @2x): a round badge with the tab's sign above its name.
#   OTPO / OTPS   the one-time-password tab, plain and selected
#   OKV  / OKVS   the one-key-verify tab, plain and selected
#   JX   / JXS    the nine-star tab, plain and selected
# Selected tabs have an orange badge on a lighter ground.
# Needs: apt-get install imagemagick fonts-wqy-microhei fonts-dejavu-core
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
cjk=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
latin=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# tab <file> <scale> <selected 0|1> <sign> <sign font> <sign size> <name>
tab() {
  local file=$1 s=$2 selected=$3 sign=$4 signfont=$5 signsize=$6 name=$7
  local w=$((100 * s)) h=$((88 * s))
  local ground='#10203a' badge='#2c4a78' ring='#7f9cc8' text='#b8c6dc'
  if [ "$selected" = 1 ]; then ground='#1d3a63' badge='#e8742a' ring='#ffd6b0' text='#ffffff'; fi
  "$convert" -size "${w}x${h}" xc:none \
    -fill "$ground" -draw "roundrectangle $((2 * s)),$((2 * s)) $((98 * s)),$((86 * s)) $((10 * s)),$((10 * s))" \
    -fill "$badge" -stroke "$ring" -strokewidth "$s" -draw "circle $((50 * s)),$((34 * s)) $((50 * s)),$((10 * s))" \
    -stroke none -fill '#ffffff' -font "$signfont" -pointsize "$((signsize * s))" -gravity north \
    -annotate "+0+$((20 * s))" "$sign" \
    -fill "$text" -font "$cjk" -pointsize "$((14 * s))" -gravity south -annotate "+0+$((6 * s))" "$name" \
    -depth 8 -strip "PNG32:$file"
}

for scale in 1 2; do
  suffix=""
  [ "$scale" = 2 ] && suffix="@2x"
  tab "OTPO$suffix.png" "$scale" 0 "123" "$latin" 16 "动态口令"
  tab "OTPS$suffix.png" "$scale" 1 "123" "$latin" 16 "动态口令"
  tab "OKV$suffix.png" "$scale" 0 "✓" "$latin" 24 "一键校验"
  tab "OKVS$suffix.png" "$scale" 1 "✓" "$latin" 24 "一键校验"
  tab "JX$suffix.png" "$scale" 0 "✦" "$latin" 24 "九星连珠"
  tab "JXS$suffix.png" "$scale" 1 "✦" "$latin" 24 "九星连珠"
done
