#!/usr/bin/env bash
# Redraws the skin's pictures into images/. The build uses the committed images; run this only
# after changing a picture, then commit what it wrote.
# Needs ImageMagick 6 (the real /usr/bin/convert) and fonts-wqy-microhei.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/images
mkdir -p "$out"

IM=${IM:-/usr/bin/convert}
FONT=${FONT:-/usr/share/fonts/truetype/wqy/wqy-microhei.ttc}
[ -f "$FONT" ] || { echo "missing font $FONT (fonts-wqy-microhei)" >&2; exit 1; }

BLUE='rgb(0,65,128)'      # frames, headings
BLUE2='rgb(0,78,161)'     # hover faces, the progress bar
GREY='rgb(230,230,230)'   # the wizard's background
BTN_GREY='rgb(236,239,243)'
BODY='rgb(45,45,45)'
RED='rgb(200,28,28)'

# Writes a 24-bit bitmap whatever the drawing left in the image.
bmp() { "$IM" "$@" -alpha off -type TrueColor BMP3:"$out/$OUTNAME.bmp"; }

# face ID W H BACKGROUND TEXT_COLOUR POINTSIZE TEXT
face() {
  local id=$1 w=$2 h=$3 bg=$4 fg=$5 pt=$6 text=$7
  OUTNAME=$id bmp -size "${w}x${h}" "xc:$bg" -font "$FONT" -pointsize "$pt" -fill "$fg" \
    -gravity center -annotate +0+0 "$text"
}

# normal and hover faces of one button: white with blue text, and blue with white text
button() {
  local normal=$1 hover=$2 w=$3 h=$4 pt=$5 text=$6
  face "$normal" "$w" "$h" white "$BLUE" "$pt" "$text"
  face "$hover" "$w" "$h" "$BLUE2" white "$pt" "$text"
}

# lines ID W H BACKGROUND COLOUR POINTSIZE X Y STEP LINE...: left-aligned lines of text
lines() {
  local id=$1 w=$2 h=$3 bg=$4 fg=$5 pt=$6 x=$7 y=$8 step=$9
  shift 9
  local args=() yy=$y
  for l in "$@"; do args+=(-annotate "+$x+$yy" "$l"); yy=$((yy + step)); done
  OUTNAME=$id bmp -size "${w}x${h}" "xc:$bg" -font "$FONT" -pointsize "$pt" -fill "$fg" \
    -gravity NorthWest "${args[@]}"
}

# Wizard buttons (105 x 28 and 75 x 29) and their hover faces.
button 137 168 105 28 14 '上一步(B)'
button 138 169 105 28 14 '下一步(N)'
button 139 170 75 29 14 '取消'
button 143 172 75 29 14 '完成'
# The error dialog's OK button.
button 173 167 107 36 16 '确认'
# Yes and no of the quit confirmation: on grey, blue when hovered.
face 163 27 27 "$BTN_GREY" "$BLUE" 14 '是'
face 175 27 27 "$BLUE2" white 14 '是'
face 162 27 27 "$BTN_GREY" "$BLUE" 14 '否'
face 174 27 27 "$BLUE2" white 14 '否'

# Wizard page pictures, on the wizard's grey.
lines 134 130 37 "$GREY" "$BLUE" 16 2 9 0 '打印机驱动选择：'
lines 140 419 85 "$GREY" "$RED" 13 2 2 21 \
  '没有检测到与打印机连接的USB端口，请将打印机USB线连接到电脑，' \
  '并打开电源，然后返回“上一步”重新检测。如果您的打印机是并口' \
  '打印机，请根据实际情况选择端口（默认LPT1：），并按“下一步”' \
  '继续。'
lines 176 420 50 "$GREY" "$BLUE" 14 2 4 23 \
  '已检测到与打印机连接的可用USB端口，' \
  '请按“下一步”确认安装信息。'
lines 142 45 51 "$GREY" "$BODY" 14 0 1 27 '驱动：' '端口：'
lines 141 400 52 "$GREY" "$BODY" 14 2 4 23 \
  '点击“完成”后，安装向导将按照前面步骤中的设置，' \
  '为您安装打印机驱动程序。'
lines 146 125 25 "$GREY" "$BLUE" 14 2 3 0 '正在安装，请稍候...'

# Secondary dialogs, on white.
OUTNAME=150 bmp -size 20x17 xc:white -stroke "$RED" -strokewidth 2 \
  -draw 'line 5,3 14,12' -draw 'line 14,3 5,12'
lines 164 119 28 white "$BLUE" 16 2 4 0 '是否退出安装？'
OUTNAME=166 bmp -size 151x45 xc:white \
  -fill 'rgb(232,120,20)' -stroke 'rgb(232,120,20)' -strokewidth 2 -draw 'polygon 21,6 39,38 3,38' \
  -stroke none -fill white -font "$FONT" -pointsize 22 -gravity NorthWest -annotate +17+9 '!' \
  -fill "$RED" -pointsize 22 -annotate +50+8 '安装失败'

# Slogan banner (drawn at 118 x 39) and the maker's logo (drawn at 150 x 57), with alpha.
"$IM" -size 1146x321 xc:none \
  -font "$FONT" -pointsize 150 -gravity center \
  -fill 'rgba(0,65,128,0.35)' -annotate +10+8 '专业标签打印' \
  -fill "$BLUE2" -annotate +0+0 '专业标签打印' \
  -fill 'rgba(0,78,161,0.6)' -draw 'rectangle 120,286 1026,300' \
  -define png:exclude-chunk=date,time PNG32:"$out/181.png"
"$IM" -size 289x111 xc:none \
  -fill "$BLUE" -draw 'roundrectangle 6,12 92,98 16,16' \
  -font "$FONT" -fill white -pointsize 58 -gravity NorthWest -annotate +20+16 '墨' \
  -fill "$BLUE" -pointsize 44 -annotate +104+14 '墨川科技' \
  -fill 'rgba(0,78,161,0.85)' -pointsize 23 -annotate +106+66 '标签打印专家' \
  -define png:exclude-chunk=date,time PNG32:"$out/182.png"

# Application icon: 16 to 256 pixels, so that large icon views are sharp; ImageMagick stores the
# 256-pixel image PNG-compressed, as Windows expects.
icon_layer() {
  local s=$1 r=$(( $1 / 6 )) pt=$(( $1 * 7 / 10 ))
  "$IM" -size "${s}x${s}" xc:none -fill "$BLUE2" -draw "roundrectangle 0,0 $((s - 1)),$((s - 1)) $r,$r" \
    -font "$FONT" -fill white -pointsize "$pt" -gravity center -annotate +0+0 '墨' PNG32:"$out/icon$s.png"
}
layers=()
for s in 16 24 32 48 64 256; do icon_layer "$s"; layers+=("$out/icon$s.png"); done
"$IM" "${layers[@]}" "$out/setup.ico"
rm -f "${layers[@]}"
echo "images written to $out"
