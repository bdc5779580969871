#!/bin/bash
# Draws the picture down the left of the setup program's finish page (wizard.bmp, 164 x 314, the
# size that page shows): the notifier's teal gradient edge to edge, its white bell with the amber
# dot, and below it the three marks of the About page (a shield, a calendar leaf, a check mark).
# The output is committed; run this again (needs ImageMagick 6) only after changing the drawing.
# The picture holds no words: the page's texts come from the setup program's languages.
set -eu
cd "$(dirname "$0")"

source ../../manager/art/marks.sh

# Drawn at four times the final size and reduced once, for smooth edges.
W=656 H=1256
BELL_AT="translate 88,200 scale 1.9,1.9"
SHIELD_AT="translate 328,820 scale 1.25,1.25"
CAL_AT="translate 328,960 scale 1.25,1.25"
CHECK_AT="translate 328,1100 scale 1.2,1.2"
suite_marks

convert -size ${W}x${H} gradient:"$TEAL_LIGHT"-"$TEAL_DARK" \
    -stroke none \
    -fill '#FFFFFF1A' -draw "roundrectangle 228,730 428,1190 52,52" \
    "${SUITE_MARKS[@]}" \
    -filter Lanczos -resize 164x314! \
    -alpha off -type TrueColor BMP3:wizard.bmp
