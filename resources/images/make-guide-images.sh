#!/usr/bin/env bash
# Draws the three picture pages of the first-start guide with ImageMagick,
# for the ordinary screen (lead111.jpg, lead22.jpg, lead33.jpg at 320x480) and
# the tall one (lead111-568h@2x.png, ... at 640x1136). The fourth page shows
# bg4.jpg (made by make-otp-images.sh).
# Needs: apt-get install imagemagick fonts-wqy-microhei
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# The picture in the middle of a page: a phone with a code, a tick, a padlock.
art() {  # kind cx cy scale colour
  local kind=$1 cx=$2 cy=$3 s=$4 c=$5
  case "$kind" in
    code)
      art_args=(-fill '#ffffff' -stroke none
        -draw "roundrectangle $((cx - 46 * s)),$((cy - 78 * s)) $((cx + 46 * s)),$((cy + 78 * s)) $((10 * s)),$((10 * s))"
        -fill "$c" -draw "rectangle $((cx - 38 * s)),$((cy - 62 * s)) $((cx + 38 * s)),$((cy + 58 * s))"
        -fill '#ffffff' -font "$font" -pointsize $((24 * s)) -gravity northwest
        -annotate +$((cx - 30 * s))+$((cy - 34 * s)) '382' -annotate +$((cx - 30 * s))+$((cy - 2 * s)) '915')
      ;;
    pass)
      art_args=(-fill '#ffffff' -stroke none -draw "circle $cx,$cy $((cx + 64 * s)),$cy"
        -fill none -stroke "$c" -strokewidth $((12 * s))
        -draw "polyline $((cx - 32 * s)),$((cy + 2 * s)) $((cx - 8 * s)),$((cy + 26 * s)) $((cx + 36 * s)),$((cy - 24 * s))")
      ;;
    lock)
      art_args=(-fill none -stroke '#ffffff' -strokewidth $((12 * s))
        -draw "arc $((cx - 34 * s)),$((cy - 70 * s)) $((cx + 34 * s)),$((cy - 2 * s)) 180,360"
        -draw "line $((cx - 34 * s)),$((cy - 36 * s)) $((cx - 34 * s)),$((cy - 6 * s))"
        -draw "line $((cx + 34 * s)),$((cy - 36 * s)) $((cx + 34 * s)),$((cy - 6 * s))"
        -stroke none -fill '#ffffff'
        -draw "roundrectangle $((cx - 56 * s)),$((cy - 8 * s)) $((cx + 56 * s)),$((cy + 66 * s)) $((8 * s)),$((8 * s))"
        -fill "$c" -draw "circle $cx,$((cy + 24 * s)) $((cx + 10 * s)),$((cy + 24 * s))")
      ;;
  esac
}

page() {  # name width height scale top-colour bottom-colour title line1 line2 kind
  local name=$1 w=$2 h=$3 s=$4 c1=$5 c2=$6 title=$7 line1=$8 line2=$9 kind=${10}
  local cx=$((w / 2)) cy=$((h * 2 / 5)) r=$((64 * s))
  art "$kind" "$cx" "$cy" "$s" "$c1"
  "$convert" -size "${w}x${h}" "gradient:$c1-$c2" \
    -fill '#ffffff18' -stroke none -draw "circle $cx,$cy $cx,$((cy - r * 2))" \
    "${art_args[@]}" \
    -stroke none -fill '#ffffff' -font "$font" -gravity north -pointsize $((26 * s)) \
    -annotate +0+$((cy + r + 44 * s)) "$title" \
    -fill '#e3f1f7' -pointsize $((14 * s)) -annotate +0+$((cy + r + 90 * s)) "$line1" \
    -annotate +0+$((cy + r + 114 * s)) "$line2" \
    -quality 90 -strip "$name"
}

draw_all() {  # suffix width height scale
  local sfx=$1 w=$2 h=$3 s=$4
  page "lead111$sfx" "$w" "$h" "$s" '#0b3d6e' '#1a7fa8' '动态密码' '离线生成六位动态密码' '每30秒自动更新，无需网络' code
  page "lead22$sfx" "$w" "$h" "$s" '#0d5c4a' '#1f9a7a' '一键放行' '异地登录实时提醒' '确认是本人操作后一键放行' pass
  page "lead33$sfx" "$w" "$h" "$s" '#5a2a6e' '#8a4fa8' '账号保护' '按需开启各项保护和时段锁定' '向左滑动，开始绑定账号' lock
}

draw_all .jpg 320 480 1
draw_all -568h@2x.png 640 1136 2
