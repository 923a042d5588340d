#!/usr/bin/env bash
# Draws the character map of the engine's statistics labels with ImageMagick:
#   fps_images.png (144x32): twelve cells of 12x32 pixels holding the
#   characters '.' '/' '0' ... '9' (codes 46 to 57, the map starts at '.'),
#   white with a dark outline on a transparent ground.
# Needs: apt-get install imagemagick fonts-dejavu-core
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
font=/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf

args=()
i=0
for ch in . / 0 1 2 3 4 5 6 7 8 9; do
  x=$((i * 12 + 6))
  args+=(-draw "text $((x - 6)),25 '$ch'")
  i=$((i + 1))
done
"$convert" -size 144x32 xc:none -font "$font" -pointsize 19 -fill white -stroke '#202020' -strokewidth 1 \
  "${args[@]}" -depth 8 -strip PNG32:fps_images.png
