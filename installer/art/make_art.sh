#!/bin/bash
# Draws the picture down the left of the setup program's finish page (wizard.bmp, 164 x 314, the
# size that page shows): the notifier's teal gradient edge to edge, its white bell with the amber
# dot, and below it the three marks of the About page (a shield, a calendar leaf, a check mark).
# The output is committed; run this again (needs ImageMagick 6) only after changing the drawing.
# The picture holds no words: the page's texts come from the setup program's languages.
set -eu
cd "$(dirname "$0")"

TEAL_LIGHT='#1FA5B3' TEAL_DARK='#0B5B69' AMBER='#F5A524'

# Drawn at four times the final size and reduced once, for smooth edges.
W=656 H=1256

# The notifier's bell, on its 256 x 256 canvas.
BELL_BODY="path 'M 128,50 C 86,50 70,88 70,126 L 70,160 C 70,170 62,178 52,186 L 204,186 C 194,178 186,170 186,160 L 186,126 C 186,88 170,50 128,50 Z'"
BELL_CROWN="circle 128,48 128,34"
BELL_CLAPPER="path 'M 106,194 A 22,22 0 0 0 150,194 Z'"
BELL_AT="translate 88,200 scale 1.9,1.9"

SHIELD="path 'M 0,-38 L 32,-27 L 32,-2 C 32,20 18,33 0,41 C -18,33 -32,20 -32,-2 L -32,-27 Z'"
SHIELD_CHECK="polyline -14,0 -4,11 15,-12"
CAL_LEAF="roundrectangle -32,-28 32,36 8,8"
CAL_TOP="roundrectangle -32,-28 32,-4 8,8"
CAL_RINGS="roundrectangle -19,-38 -11,-18 4,4 roundrectangle 11,-38 19,-18 4,4"
CHECK="polyline -26,2 -8,21 27,-20"
SHIELD_AT="translate 328,820 scale 1.25,1.25"
CAL_AT="translate 328,960 scale 1.25,1.25"
CHECK_AT="translate 328,1100 scale 1.2,1.2"
ROUND="stroke-linecap round stroke-linejoin round"

convert -size ${W}x${H} gradient:"$TEAL_LIGHT"-"$TEAL_DARK" \
    -stroke none \
    -fill '#FFFFFF1A' -draw "roundrectangle 228,730 428,1190 52,52" \
    -fill '#00000030' -draw "$BELL_AT translate 0,6 $BELL_BODY" \
    -fill white -draw "$BELL_AT $BELL_BODY" -draw "$BELL_AT $BELL_CROWN" -draw "$BELL_AT $BELL_CLAPPER" \
    -draw "$BELL_AT circle 190,70 190,36" -fill "$AMBER" -draw "$BELL_AT circle 190,70 190,44" \
    -fill white -draw "$SHIELD_AT $SHIELD" \
    -fill none -stroke "$TEAL_DARK" -strokewidth 9 -draw "$ROUND $SHIELD_AT $SHIELD_CHECK" \
    -stroke none -fill white -draw "$CAL_AT $CAL_LEAF" \
    -fill "$AMBER" -draw "$CAL_AT $CAL_TOP" -draw "$CAL_AT rectangle -32,-12 32,-4" \
    -fill "$TEAL_DARK" -draw "$CAL_AT $CAL_RINGS" \
    -draw "$CAL_AT rectangle -19,6 -9,15 rectangle -5,6 5,15 rectangle 9,6 19,15 rectangle -19,20 -9,29 rectangle -5,20 5,29" \
    -fill none -stroke white -strokewidth 13 -draw "$ROUND $CHECK_AT $CHECK" \
    -filter Lanczos -resize 164x314! \
    -alpha off -type TrueColor BMP3:wizard.bmp
