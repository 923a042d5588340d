#!/usr/bin/env bash
# Draws the pictures of the settings, security log, help and safety classroom
# screens with ImageMagick, each at scale 1 and 2 (name@2x):
#   (the shade shown when a list is pulled down, anying_img_3, is the
#   protections', drawn by make-protect-images.sh);
#   (the settings' push and one-key icons, push_icon and yijian, are the main
#   screen's, drawn by make-hub-images.sh);
#   wydl.png, xhdl.png, gwdl3.png (36x36): web login, messenger login, high-risk event;
#   HorizMenuBG.png (320x41), HorizMenuButtonSeclected.png (107x41): the log's tab strip;
#   banner1.jpg ... banner3.jpg (320x170): the classroom's carousel, each with its headline;
#   smallTitle1.jpg ... smallTitle4.jpg, smallTitle5.png (50x50): the article icons.
# Needs: apt-get install imagemagick fonts-wqy-microhei
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

at() {  # name scale -> file name
  local name=$1 s=$2
  if [ "$s" = 1 ]; then echo "$name"; else echo "${name%.*}@2x.${name##*.}"; fi
}

round_icon() {  # name size colour glyph scale
  local name=$1 n=$(($2 * $5)) colour=$3 glyph=$4 s=$5
  "$convert" -size "${n}x${n}" xc:none -fill "$colour" -draw "roundrectangle 0,0 $((n-1)),$((n-1)) $((8*s)),$((8*s))" \
    -fill white -font "$font" -pointsize $((n / 2)) -gravity center -annotate +0+0 "$glyph" \
    -depth 8 -strip "PNG32:$(at "$name" "$s")"
}

menu() {  # scale
  local s=$1
  "$convert" -size "$((320*s))x$((41*s))" gradient:'#3a3f46'-'#24272c' -fill '#00000060' \
    -draw "rectangle 0,$((40*s)) $((320*s)),$((41*s))" -depth 8 -strip "PNG24:$(at HorizMenuBG.png "$s")"
  "$convert" -size "$((107*s))x$((41*s))" xc:none -fill '#ff906940' -draw "rectangle 0,0 $((107*s)),$((41*s))" \
    -fill '#ff9069' -draw "rectangle 0,$((38*s)) $((107*s)),$((41*s))" -depth 8 -strip \
    "PNG32:$(at HorizMenuButtonSeclected.png "$s")"
}

banner() {  # name from to headline line2 scale
  local s=$6 w=$((320 * $6)) h=$((170 * $6))
  "$convert" -size "${w}x${h}" gradient:"$2"-"$3" \
    -fill '#ffffff20' -draw "circle $((260*s)),$((40*s)) $((330*s)),$((40*s))" \
    -font "$font" -fill white -pointsize $((24 * s)) -gravity northwest -annotate +$((20*s))+$((48*s)) "$4" \
    -fill '#ffffffc0' -pointsize $((14 * s)) -annotate +$((20*s))+$((88*s)) "$5" \
    -quality 90 -strip "$(at "$1" "$s")"
}

small() {  # name colour glyph scale
  local s=$4 n=$((50 * $4)) file
  file=$(at "$1" "$s")
  local fmt=""
  case "$file" in *.png) fmt="PNG24:" ;; esac
  "$convert" -size "${n}x${n}" xc:"$2" -fill '#ffffff30' -draw "circle $((38*s)),$((12*s)) $((52*s)),$((12*s))" \
    -fill white -font "$font" -pointsize $((24 * s)) -gravity center -annotate +0+0 "$3" \
    -quality 90 -strip "$fmt$file"
}

for s in 1 2; do
  round_icon wydl.png 36 '#3c7dd9' '网' "$s"
  round_icon xhdl.png 36 '#2aa876' '讯' "$s"
  round_icon gwdl3.png 36 '#d93a3a' '危' "$s"
  menu "$s"
  banner banner1.jpg '#c2462f' '#6e1f14' '动态密码只给自己看' '任何人索要动态密码，都是骗子' "$s"
  banner banner2.jpg '#2c6fb3' '#123a66' '手机丢了怎么办' '三步保住你的账号' "$s"
  banner banner3.jpg '#2f9a6a' '#11503a' '看懂一键登录确认' '不是本人登录，请点拒绝' "$s"
  small smallTitle1.jpg '#d9822b' '充' "$s"
  small smallTitle2.jpg '#8a4fd0' '兼' "$s"
  small smallTitle3.jpg '#2b8fd9' '钓' "$s"
  small smallTitle4.jpg '#d93a5a' '盗' "$s"
  small smallTitle5.png '#2aa876' '货' "$s"
done
