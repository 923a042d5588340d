#!/usr/bin/env bash
# Draws the pictures of the protections, the lock-period editor, the password
# change and the person centre with ImageMagick, into the bundle's images
# folder, each at scale 1 and 2:
#   the lock ring: lock_icon_point / big_round_btn_pushed (20x20 joints, lit
#     green and dark grey), ho_lock_yes / ho_lock_no (56x7 bars along the top
#     and bottom), ve_lock_yes / ve_lock_no (7x18 bars down the sides);
#   checkbox_on / checkbox_off (22x22), lock_confirm_button (60x40, a green
#     button whose middle stretches);
#   the protection icons (40x40 rounded squares with one character each):
#     xgmm, dlbh, confirm_receipt, zhengzai, sale, ymgl, jyyj, tgt, kfpt;
#   (the account-lock icon zzsd is the main screen's, make-hub-images.sh);
#   anying_img_3 (320x60): the shade hung above the tables;
#   dis_pass_up / dis_pass_on (48x36): the show-password switch, off and on;
#   person_photo (70x70): the photo before the account's own arrives;
#   person_lock (80x80): the padlock of the locked hours;
#   the product logos (50x50): phone, cert, matrix, dcode, veltor, otp, email,
#     question, auth.
# Needs: apt-get install imagemagick fonts-wqy-microhei
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
font=$(fc-match -f '%{file}' 'WenQuanYi Micro Hei:lang=zh')

suffix() { [ "$1" = 1 ] && echo "" || echo "@$1x"; }

disc() {  # name fill ring
  local name=$1 fill=$2 ring=$3
  for s in 1 2; do
    local n=$((20 * s)) c=$((10 * s)) r=$((8 * s))
    "$convert" -size "${n}x${n}" xc:none -fill "$fill" -stroke "$ring" -strokewidth "$s" \
      -draw "circle $c,$c $c,$((c - r))" -depth 8 -strip "PNG32:${name}$(suffix $s).png"
  done
}

bar() {  # name width height fill
  local name=$1 w=$2 h=$3 fill=$4
  for s in 1 2; do
    "$convert" -size "$((w * s))x$((h * s))" xc:none -fill "$fill" \
      -draw "roundrectangle 0,0 $((w * s - 1)),$((h * s - 1)) $((s * 2)),$((s * 2))" \
      -depth 8 -strip "PNG32:${name}$(suffix $s).png"
  done
}

checkbox() {  # name checked
  for s in 1 2; do
    local n=$((22 * s))
    local args=(-size "${n}x${n}" xc:none -fill '#ffffff20' -stroke '#d8dde3' -strokewidth "$((2 * s))"
      -draw "roundrectangle $s,$s $((n - s - 1)),$((n - s - 1)) $((4 * s)),$((4 * s))")
    if [ "$2" = 1 ]; then
      args+=(-stroke '#5fd35a' -strokewidth "$((3 * s))" -fill none
        -draw "polyline $((5 * s)),$((11 * s)) $((9 * s)),$((16 * s)) $((17 * s)),$((6 * s))")
    fi
    "$convert" "${args[@]}" -depth 8 -strip "PNG32:${1}$(suffix $s).png"
  done
}

button() {  # name w h top bottom
  for s in 1 2; do
    local w=$(($2 * s)) h=$(($3 * s))
    "$convert" -size "${w}x${h}" gradient:"$4"-"$5" \
      \( -size "${w}x${h}" xc:none -fill white -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) $((6 * s)),$((6 * s))" \) \
      -compose DstIn -composite -depth 8 -strip "PNG32:${1}$(suffix $s).png"
  done
}

icon() {  # name side colour character
  local name=$1 side=$2 colour=$3 text=$4
  for s in 1 2; do
    local n=$((side * s))
    "$convert" -size "${n}x${n}" xc:none -fill "$colour" \
      -draw "roundrectangle 0,0 $((n - 1)),$((n - 1)) $((8 * s)),$((8 * s))" \
      -font "$font" -pointsize $((side * s * 11 / 20)) -fill white -gravity center -annotate +0+0 "$text" \
      -depth 8 -strip "PNG32:${name}$(suffix $s).png"
  done
}

disc lock_icon_point '#5fd35a' '#c9f5c0'
disc big_round_btn_pushed '#4a5058' '#8a929c'
bar ho_lock_yes 56 7 '#5fd35a'
bar ho_lock_no 56 7 '#59606a'
bar ve_lock_yes 7 18 '#5fd35a'
bar ve_lock_no 7 18 '#59606a'
checkbox checkbox_off 0
checkbox checkbox_on 1
button lock_confirm_button 60 40 '#6cc24a' '#3e8e2c'

icon xgmm 40 '#e07b39' 密
icon dlbh 40 '#2e86c1' 登
icon confirm_receipt 40 '#16a085' 收
icon zhengzai 40 '#8e44ad' 管
icon sale 40 '#d35400' 发
icon ymgl 40 '#2874a6' 域
icon jyyj 40 '#b7950b' 佣
icon tgt 40 '#1e8449' 推
icon kfpt 40 '#5d6d7e' 开

icon phone 50 '#2e86c1' 机
icon cert 50 '#b9770e' 证
icon matrix 50 '#7d3c98' 卡
icon dcode 50 '#148f77' 令
icon veltor 50 '#c0392b' 盾
icon otp 50 '#1e8449' 钥
icon email 50 '#2874a6' 邮
icon question 50 '#a04000' 问
icon auth 50 '#5d6d7e' 身

for s in 1 2; do
  "$convert" -size "$((320 * s))x$((60 * s))" gradient:'#00000000'-'#00000066' \
    -depth 8 -strip "PNG32:anying_img_3$(suffix $s).png"
  "$convert" -size "$((48 * s))x$((36 * s))" xc:none -fill '#3a4048' -stroke '#8a929c' -strokewidth "$s" \
    -draw "roundrectangle $s,$s $((48 * s - s - 1)),$((36 * s - s - 1)) $((6 * s)),$((6 * s))" \
    -depth 8 -strip "PNG32:dis_pass_up$(suffix $s).png"
  "$convert" -size "$((48 * s))x$((36 * s))" xc:none -fill '#0a6d86' -stroke '#00ccff' -strokewidth "$s" \
    -draw "roundrectangle $s,$s $((48 * s - s - 1)),$((36 * s - s - 1)) $((6 * s)),$((6 * s))" \
    -depth 8 -strip "PNG32:dis_pass_on$(suffix $s).png"
  n=$((70 * s))
  "$convert" -size "${n}x${n}" xc:'#4a5058' -fill '#c8ced6' \
    -draw "circle $((35 * s)),$((27 * s)) $((35 * s)),$((13 * s))" \
    -draw "ellipse $((35 * s)),$((70 * s)) $((26 * s)),$((22 * s)) 180,360" \
    -depth 8 -strip "PNG32:person_photo$(suffix $s).png"
  n=$((80 * s))
  "$convert" -size "${n}x${n}" xc:none -fill none -stroke '#e8ecf0' -strokewidth $((7 * s)) \
    -draw "arc $((22 * s)),$((8 * s)) $((58 * s)),$((50 * s)) 180,360" \
    -draw "line $((22 * s)),$((29 * s)) $((22 * s)),$((40 * s))" \
    -draw "line $((58 * s)),$((29 * s)) $((58 * s)),$((40 * s))" \
    -stroke none -fill '#f0b429' -draw "roundrectangle $((12 * s)),$((38 * s)) $((68 * s)),$((76 * s)) $((6 * s)),$((6 * s))" \
    -fill '#5b4100' -draw "circle $((40 * s)),$((54 * s)) $((40 * s)),$((49 * s))" \
    -depth 8 -strip "PNG32:person_lock$(suffix $s).png"
done
