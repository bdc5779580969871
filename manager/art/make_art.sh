#!/bin/bash
# Draws the manager's About page picture (about.bmp, 164 x 163): the notifier's white bell with
# its amber dot on a rounded teal tile, above three small marks for the kinds of
# upkeep the suite reminds of (a shield, a calendar leaf, a check mark).
# The output is committed; run this again (needs ImageMagick 6) only after changing the drawing.
# The picture holds no words: every visible text comes from the language files.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source marks.sh

# The page draws the picture with its corner colour keyed out; white is what surrounds it on a
# themed page, so the tile's soft edges blend into it.
DIALOG='#FFFFFF'

# Everything is drawn at four times the final size and reduced once, which gives smooth edges.
W=656 H=652
BELL_AT="translate 135,52 scale 1.5,1.5"
SHIELD_AT="translate 180,485 scale 1.25,1.25"
CAL_AT="translate 328,487 scale 1.25,1.25"
CHECK_AT="translate 476,485 scale 1.2,1.2"
suite_marks

# The tile: the notifier's gradient clipped to a rounded square. No shadow: the page keys out the
# corner colour, and a shadow's soft edge would stay behind as a grey halo.
convert -size ${W}x${H} xc:none \
    \( -size 560x560 gradient:"$TEAL_LIGHT"-"$TEAL_DARK" \) -geometry +48+36 -composite \
    \( -size ${W}x${H} xc:none -fill white -draw "roundrectangle 48,36 607,595 112,112" \) \
    -compose DstIn -composite "$work/tile.png"

# A faint band sets the marks apart from the bell without a hard line; the calendar's amber top is
# squared off at its foot so it reads as a leaf's header rather than a separate pill.
convert -size ${W}x${H} xc:"$DIALOG" "$work/tile.png" -composite \
    -stroke none \
    -fill '#FFFFFF1A' -draw "roundrectangle 76,410 579,560 52,52" \
    "${SUITE_MARKS[@]}" \
    -filter Lanczos -resize 164x163! \
    -alpha off -type TrueColor BMP3:about.bmp
