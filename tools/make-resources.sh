#!/usr/bin/env bash
# Draws the program's images into Resources/Images with ImageMagick. The
# results are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/../Resources/Images"
FONT=DejaVu-Sans-Bold

# icon NAME BACKGROUND GLYPH [SIZE]: a rounded tile with a white glyph.
icon() {
  local name=$1 bg=$2 glyph=$3 size=${4:-64}
  convert -size ${size}x${size} xc:none -fill "$bg" \
    -draw "roundrectangle 2,2 $((size-3)),$((size-3)) 12,12" \
    -fill white -font $FONT -pointsize $((size*3/8)) -gravity center -annotate +0+0 "$glyph" "$name"
}

icon apptitle.png '#1f6fb2' 'SL'
icon 关闭.png '#b23b3b' 'X'
icon 基础数据.png '#2f7d4f' 'AGM'
icon 计算数据.png '#7a4fb2' 'Q/E'
icon 数据拓展.png '#b27a1f' 'P/T'
icon 3D.png '#1f8fa0' '3D'
icon 3D_mag.png '#a01f6f' 'M'
icon suit.png '#4f6fb2' 'SUIT'
icon CheckSerialDevice.png '#1f6fb2' '?'
icon accelcal.png '#2f7d4f' 'g'
icon zerorotate.png '#7a4fb2' '0'
icon playfile.png '#2e9e4f' '>' 48
icon pausefile.png '#b27a1f' '||' 48
icon magcalcul.png '#a01f6f' 'CAL'
icon FileExportEnable.png '#2e9e4f' 'REC'
icon FileExportStop.png '#b23b3b' 'STOP'
icon FileExportPath.png '#1f6fb2' '...'

convert -size 16x16 xc:none -fill '#2e9e4f' -draw "circle 8,8 8,3" steppointtrue.png
convert -size 360x60 xc:none -fill '#1f6fb2' -font $FONT -pointsize 40 -gravity center \
  -annotate +0+0 'Strideloom' softwareName.png

# Wizard steps: grey before they are reached, green once reached.
for n in 1 2 3 4 5 6; do
  convert -size 40x40 xc:none -fill '#9a9a9a' -draw "circle 20,20 20,3" -fill white -font $FONT \
    -pointsize 20 -gravity center -annotate +0+0 "$n" "1$n-.png"
  convert -size 40x40 xc:none -fill '#2e9e4f' -draw "circle 20,20 20,3" -fill white -font $FONT \
    -pointsize 20 -gravity center -annotate +0+0 "$n" "$n-.png"
done
convert -size 40x40 xc:none -fill '#9a9a9a' -draw "circle 20,20 20,3" -fill white -font $FONT \
  -pointsize 22 -gravity center -annotate +0+0 'OK' completefalse.png
convert -size 40x40 xc:none -fill '#2e9e4f' -draw "circle 20,20 20,3" -fill white -font $FONT \
  -pointsize 22 -gravity center -annotate +0+0 'OK' complete.png

# Cube faces, labelled so the orientation reads at a glance.
face() {
  convert -size 128x128 xc:"$2" -stroke '#222222' -strokewidth 6 -fill none -draw "rectangle 3,3 124,124" \
    -stroke none -fill white -font $FONT -pointsize 44 -gravity center -annotate +0+0 "$3" "$1"
}
face cuboid4.jpg '#3b6fd1' '+Z'
face cuboid5.jpg '#23417a' '-Z'
face cuboid6.jpg '#3aa35a' '+Y'
face cuboid7.jpg '#1f5f33' '-Y'
face cuboid8.jpg '#d1483b' '+X'
face cuboid9.jpg '#7a2a23' '-X'
convert -size 64x64 gradient:'#ff3030'-'#800000' -rotate 90 axis10.jpg
convert -size 64x64 gradient:'#30d030'-'#006000' -rotate 90 axis11.jpg
convert -size 64x64 gradient:'#3060ff'-'#001a80' -rotate 90 axis12.jpg
for n in 0 1 2 3; do convert -size 64x64 gradient:'#dddddd'-'#777777' "javelin$n.jpg"; done

# Wait animation: a dot circling.
frames=()
for i in $(seq 0 11); do
  a=$(echo "$i*30" | bc)
  x=$(printf '%.0f' "$(echo "50+32*s($a*3.14159/180)" | bc -l)")
  y=$(printf '%.0f' "$(echo "50-32*c($a*3.14159/180)" | bc -l)")
  convert -size 100x100 xc:white -fill none -stroke '#d0d7e0' -strokewidth 6 -draw "circle 50,50 50,18" \
    -stroke none -fill '#1f6fb2' -draw "circle $x,$y $((x+8)),$y" "/tmp/loading_$i.gif"
  frames+=("/tmp/loading_$i.gif")
done
convert -delay 8 -loop 0 "${frames[@]}" loading.gif
rm -f /tmp/loading_*.gif
echo "images written to $(pwd)"
