#!/usr/bin/env bash
# Draws the pictures of the code screen and the nine-star screen with ImageMagick:
#   otp_0.png ... otp_9.png (98x136, shown at 49x68 points): one digit each,
#   dark blue on a light rounded card with a thin fold line across the middle.
#   bg4.jpg (640x960): the nine-star screen's background, a soft vertical
#   gradient with faint dots.
# Needs: apt-get install imagemagick fonts-dejavu-core
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

for d in 0 1 2 3 4 5 6 7 8 9; do
  "$convert" -size 98x136 xc:none \
    -fill '#f4f6fa' -stroke '#c9d2e0' -strokewidth 2 -draw 'roundrectangle 1,1 96,134 12,12' \
    -stroke none -font "$font" -pointsize 96 -fill '#1f3a66' -gravity center -annotate +0+2 "$d" \
    -fill '#00000022' -draw 'rectangle 4,67 93,68' \
    -depth 8 -strip "PNG32:otp_$d.png"
done

"$convert" -size 640x960 gradient:'#20324f'-'#0d1626' \
  -fill '#ffffff18' -draw 'circle 120,180 123,180' -draw 'circle 500,260 502,260' \
  -draw 'circle 320,700 323,700' -draw 'circle 80,820 82,820' -draw 'circle 560,880 563,880' \
  -quality 90 -strip bg4.jpg
