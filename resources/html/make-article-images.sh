#!/bin/sh
# Draws the pictures of the bundled article pages with ImageMagick:
#   resources/html/make-article-images.sh
# safety-shield.png: a shield with a check mark over a soft blue band.
set -e
cd "$(dirname "$0")"
convert -size 600x300 gradient:'#EAF2FB'-'#C9DDF2' \
  -fill '#3A75C4' -stroke '#2A5A9C' -strokewidth 6 \
  -draw "path 'M 300,40 L 390,75 L 390,150 Q 390,225 300,265 Q 210,225 210,150 L 210,75 Z'" \
  -fill none -stroke white -strokewidth 16 -draw "stroke-linejoin round stroke-linecap round polyline 255,150 290,185 350,115" \
  -strip safety-shield.png
