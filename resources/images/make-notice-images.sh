#!/usr/bin/env bash
# Draws the background strip of the drop-down notices with ImageMagick, into the
# bundle's images folder (pictures are found by name alone):
#   quickAlertB.png (320x25) and quickAlertB@2x.png (640x50): a dark band with
#   a soft top-to-bottom shade and a thin warm line along its lower edge.
# Needs: apt-get install imagemagick
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

strip() {  # name scale
  local name=$1 s=$2
  local w=$((320 * s)) h=$((25 * s))
  "$convert" -size "${w}x${h}" gradient:'#3a3f47'-'#1f2328' \
    -fill '#ff906980' -draw "rectangle 0,$((h - s)) $((w - 1)),$((h - 1))" \
    -depth 8 -strip "$name"
}

strip quickAlertB.png 1
strip quickAlertB@2x.png 2
