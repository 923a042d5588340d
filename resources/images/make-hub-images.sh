#!/usr/bin/env bash
# Draws the main screen's pictures with ImageMagick:
#   1.jpg 2.jpg 3.jpg (960x720): the slowly moving backgrounds, soft landscapes
#     of hills and sky in three moods;
#   push_icon key_login yijian yuancheng zzsd pay_icon (72x72, shown at 36x36):
#     the icons of the protections in use (bell, key, tick, phone, padlock, coin);
#   otp_beeper.png (96x96): the speaker beside the code;
#   lock_overlay.png (128x128): the padlock over the dimmed screen;
#   photo_default.png (128x128): the photo before the user's own arrives;
#   JX_Quick_Bg4.png (640x590): the quick nine-star sheet's background.
# Needs: apt-get install imagemagick
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

landscape() {  # name sky-top sky-bottom hill-near hill-far
  "$convert" -size 960x720 "gradient:$2-$3" \
    -fill "$5" -draw 'path "M 0,470 C 200,380 420,430 600,390 C 760,355 880,400 960,380 L 960,720 L 0,720 Z"' \
    -fill "$4" -draw 'path "M 0,560 C 240,500 480,600 720,530 C 840,495 920,520 960,510 L 960,720 L 0,720 Z"' \
    -fill '#ffffff30' -draw 'circle 760,150 760,200' \
    -blur 0x1 -quality 88 "$1"
}
landscape 1.jpg '#1d4e89' '#7fb8d8' '#1f4d3a' '#3b7356'
landscape 2.jpg '#3a2a5e' '#d98c6a' '#3b2d45' '#6b4f6e'
landscape 3.jpg '#0f3b4c' '#5fa8a0' '#163a2c' '#2f6b55'

icon() {  # name colour draw-commands...
  local name=$1 colour=$2
  shift 2
  "$convert" -size 72x72 xc:none -fill "$colour" -draw 'circle 36,36 36,2' \
    -fill white -stroke white "$@" -depth 8 -strip "PNG32:$name.png"
}
icon push_icon '#e8833a' -strokewidth 1 -draw 'path "M 24,46 L 24,32 C 24,22 48,22 48,32 L 48,46 Z"' -draw 'circle 36,50 36,54'
icon key_login '#3a7be8' -strokewidth 1 -draw 'circle 28,30 28,40' -strokewidth 5 -draw 'line 34,36 52,54' -draw 'line 46,48 52,42'
icon yijian '#2fa86a' -strokewidth 7 -fill none -draw 'polyline 20,36 32,48 54,24'
icon yuancheng '#8a5cd6' -strokewidth 1 -draw 'roundrectangle 26,16 46,56 4,4' -fill '#8a5cd6' -stroke none -draw 'rectangle 29,21 43,46'
icon zzsd '#d64545' -strokewidth 5 -fill none -draw 'arc 26,18 46,42 180,360' -fill white -stroke none -draw 'roundrectangle 22,32 50,54 3,3'
icon pay_icon '#d6a43a' -strokewidth 1 -draw 'circle 36,36 36,18' -fill '#d6a43a' -stroke none -draw 'rectangle 33,24 39,48'

"$convert" -size 96x96 xc:none -fill '#ffffffdd' \
  -draw 'path "M 18,38 L 34,38 L 54,20 L 54,76 L 34,58 L 18,58 Z"' \
  -fill none -stroke '#ffffffdd' -strokewidth 5 -draw 'arc 50,30 78,66 -60,60' -draw 'arc 54,18 90,78 -60,60' \
  -depth 8 -strip PNG32:otp_beeper.png
"$convert" -size 128x128 xc:none -fill none -stroke white -strokewidth 10 -draw 'arc 36,14 92,78 180,360' \
  -stroke none -fill white -draw 'roundrectangle 22,54 106,118 10,10' -fill '#333333' -draw 'circle 64,80 64,90' \
  -draw 'rectangle 60,84 68,104' -depth 8 -strip PNG32:lock_overlay.png
"$convert" -size 128x128 xc:'#d8e2ea' -fill '#9fb2c2' -draw 'circle 64,50 64,78' -draw 'ellipse 64,128 48,40 180,360' \
  -depth 8 -strip PNG32:photo_default.png
"$convert" -size 640x590 'gradient:#20365a-#0c1626' -fill '#ffffff18' \
  -draw 'circle 160,150 160,170' -draw 'circle 320,150 320,170' -draw 'circle 480,150 480,170' \
  -draw 'circle 160,300 160,320' -draw 'circle 320,300 320,320' -draw 'circle 480,300 480,320' \
  -draw 'circle 160,450 160,470' -draw 'circle 320,450 320,470' -draw 'circle 480,450 480,470' \
  -depth 8 -strip PNG32:JX_Quick_Bg4.png
