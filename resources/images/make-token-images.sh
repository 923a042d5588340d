#!/usr/bin/env bash
# Draws the nine-star grid's pictures and the code screen's round buttons with
# ImageMagick (96x96 pixels, shown in 48-point cells):
#   kong.png       an empty cell (transparent)
#   ba.png         a star not on the path: a pale eight-pointed star
#   begin_red.png  the first star of the path: red, with a soft halo
#   end.png        the last star: gold, inside a ring
#   a2 ... a5      the second to fifth stars: gold, with their order number
#   up down left right southwest northwest southeast northeast
#                  the line of one step, through the cell in its direction
#   round_btn_nomaol.png / round_btn_active.png (144x144): the round buttons
#                  of the code screen, off and on
# Needs: apt-get install imagemagick fonts-dejavu-core
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
star='polygon 48,10 55,36 82,34 60,50 70,76 48,60 26,76 36,50 14,34 41,36'

"$convert" -size 96x96 xc:none -depth 8 -strip PNG32:kong.png

"$convert" -size 96x96 xc:none -fill '#ffffff40' -stroke '#ffffff90' -strokewidth 2 -draw "$star" \
  -depth 8 -strip PNG32:ba.png

"$convert" -size 96x96 xc:none \
  \( -size 96x96 radial-gradient:'#ff5a4a90'-'#ff5a4a00' \) -compose over -composite \
  -fill '#e8322a' -stroke '#fff0e0' -strokewidth 2 -draw "$star" -depth 8 -strip PNG32:begin_red.png

"$convert" -size 96x96 xc:none -fill none -stroke '#ffd36a' -strokewidth 4 -draw 'circle 48,48 48,6' \
  -fill '#ffc83d' -stroke '#fff6d8' -strokewidth 2 -draw "$star" -depth 8 -strip PNG32:end.png

for n in 2 3 4 5; do
  "$convert" -size 96x96 xc:none -fill '#ffc83d' -stroke '#fff6d8' -strokewidth 2 -draw "$star" \
    -stroke none -fill '#5a3200' -font "$font" -pointsize 24 -gravity center -annotate +0+4 "$n" \
    -depth 8 -strip "PNG32:a$n.png"
done

line() {
  "$convert" -size 96x96 xc:none -stroke '#ffd36acc' -strokewidth 7 \
    -draw "line $2" -stroke '#fffbe8' -strokewidth 2 -draw "line $2" -depth 8 -strip "PNG32:$1.png"
}
line up '48,2 48,94'
line down '48,2 48,94'
line left '2,48 94,48'
line right '2,48 94,48'
line southwest '94,2 2,94'
line northeast '94,2 2,94'
line northwest '2,2 94,94'
line southeast '2,2 94,94'

"$convert" -size 144x144 xc:none -fill '#2c4a78' -stroke '#9fb6d8' -strokewidth 4 -draw 'circle 72,72 72,6' \
  -depth 8 -strip PNG32:round_btn_nomaol.png
"$convert" -size 144x144 xc:none -fill '#e8742a' -stroke '#ffd6b0' -strokewidth 4 -draw 'circle 72,72 72,6' \
  -depth 8 -strip PNG32:round_btn_active.png
