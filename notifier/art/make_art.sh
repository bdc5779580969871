#!/bin/bash
# Draws the notifier's pictures: the program and tray icon (tolva.ico), the reminder popup's
# background (popup.bmp, 318 x 168) and the update prompt's background (update.bmp, 293 x 142).
# The outputs are committed; run this again (needs ImageMagick 6) only after changing a drawing.
# Pictures hold no words: every visible text comes from the language files.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

TEAL_LIGHT='#1FA5B3' TEAL_DARK='#0B5B69' AMBER='#F5A524'

# The bell, drawn on a 256 x 256 canvas: crown, body flaring to the rim, and the clapper.
BELL_BODY="path 'M 128,50 C 86,50 70,88 70,126 L 70,160 C 70,170 62,178 52,186 L 204,186 C 194,178 186,170 186,160 L 186,126 C 186,88 170,50 128,50 Z'"
BELL_CROWN="circle 128,48 128,34"
BELL_CLAPPER="path 'M 106,194 A 22,22 0 0 0 150,194 Z'"

# Icon: a rounded teal tile with a white bell and an amber dot, rendered large and reduced with a
# good filter for each size the shell asks for (16/20/24 tray at 100-150 %, 32/48/64 and 256).
convert -size 256x256 gradient:"$TEAL_LIGHT"-"$TEAL_DARK" \
    \( -size 256x256 xc:none -fill white -draw "roundrectangle 6,6 249,249 56,56" \) \
    -compose DstIn -composite -compose Over \
    -fill '#00000030' -stroke none -draw "translate 0,6 $BELL_BODY" \
    -fill white -draw "$BELL_BODY" -draw "$BELL_CROWN" -draw "$BELL_CLAPPER" \
    -fill white -draw "circle 190,70 190,36" -fill "$AMBER" -draw "circle 190,70 190,44" \
    -depth 8 PNG32:"$work/icon256.png"
sizes=""
for s in 16 20 24 32 40 48 64; do
    # Small frames get a little sharpening so the bell keeps a crisp outline.
    sharpen=$([ "$s" -le 32 ] && echo "-unsharp 0x0.6+0.8+0" || echo "")
    convert "$work/icon256.png" -filter Lanczos -resize ${s}x${s} $sharpen "$work/icon$s.png"
    sizes="$sizes $work/icon$s.png"
done
convert $sizes "$work/icon256.png" tolva.ico

# A small bell for the pictures' title bands.
convert -size 256x256 xc:none -fill white -draw "$BELL_BODY" -draw "$BELL_CROWN" -draw "$BELL_CLAPPER" \
    -fill "$AMBER" -draw "circle 190,70 190,44" -filter Lanczos -resize 22x22 "$work/bell.png"
# A download arrow into a tray, for the update prompt.
convert -size 256x256 xc:none -fill white \
    -draw "path 'M 104,30 L 152,30 L 152,116 L 194,116 L 128,188 L 62,116 L 104,116 Z'" \
    -draw "roundrectangle 40,200 216,226 12,12" -filter Lanczos -resize 22x22 "$work/arrow.png"

# Background of a popup: a teal title band with the mark, a light body where the texts sit, and a
# quieter strip behind the buttons. Broad flat areas keep it clean when the dialog is stretched
# for larger text sizes.
background() { # width height band_height strip_top mark output
    local w=$1 h=$2 band=$3 strip=$4 mark=$5 out=$6
    convert -size ${w}x${h} gradient:'#FFFFFF'-'#EEF3F6' \
        \( -size ${w}x${band} gradient:"$TEAL_LIGHT"-"$TEAL_DARK" -rotate 0 \) -geometry +0+0 -composite \
        -fill '#E3EBEF' -draw "rectangle 0,$strip $((w - 1)),$((h - 1))" \
        -fill '#C9D6DC' -draw "rectangle 0,$strip $((w - 1)),$strip" \
        -fill "$AMBER" -draw "rectangle 0,$band $((w - 1)),$((band + 1))" \
        "$mark" -geometry +10+$(((band - 22) / 2)) -composite \
        -fill none -stroke "$TEAL_DARK" -strokewidth 1 -draw "rectangle 0,0 $((w - 1)),$((h - 1))" \
        -alpha off -type TrueColor BMP3:"$out"
}
background 318 168 30 130 "$work/bell.png" popup.bmp
background 293 142 30 102 "$work/arrow.png" update.bmp
