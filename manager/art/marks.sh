# The suite's picture elements, shared by the About page picture (manager/art/make_art.sh) and the
# setup program's finish-page picture (installer/art/make_art.sh); sourced, not run.
# After `suite_marks`, the array SUITE_MARKS holds the ImageMagick drawing of the notifier's bell
# with its amber dot and the three marks (a shield, a calendar leaf, a check mark), placed by the
# caller's BELL_AT, SHIELD_AT, CAL_AT and CHECK_AT. Sizes are for drawing at four times the final
# size and reducing once.

TEAL_LIGHT='#1FA5B3' TEAL_DARK='#0B5B69' AMBER='#F5A524'

# The same bell as the notifier's icon, on its 256 x 256 canvas.
BELL_BODY="path 'M 128,50 C 86,50 70,88 70,126 L 70,160 C 70,170 62,178 52,186 L 204,186 C 194,178 186,170 186,160 L 186,126 C 186,88 170,50 128,50 Z'"
BELL_CROWN="circle 128,48 128,34"
BELL_CLAPPER="path 'M 106,194 A 22,22 0 0 0 150,194 Z'"

# The three marks, each drawn around its own centre.
SHIELD="path 'M 0,-38 L 32,-27 L 32,-2 C 32,20 18,33 0,41 C -18,33 -32,20 -32,-2 L -32,-27 Z'"
SHIELD_CHECK="polyline -14,0 -4,11 15,-12"
CAL_LEAF="roundrectangle -32,-28 32,36 8,8"
CAL_TOP="roundrectangle -32,-28 32,-4 8,8"
CAL_RINGS="roundrectangle -19,-38 -11,-18 4,4 roundrectangle 11,-38 19,-18 4,4"
CHECK="polyline -26,2 -8,21 27,-20"
ROUND="stroke-linecap round stroke-linejoin round"

suite_marks() {
    SUITE_MARKS=(
        -fill '#00000030' -draw "$BELL_AT translate 0,6 $BELL_BODY"
        -fill white -draw "$BELL_AT $BELL_BODY" -draw "$BELL_AT $BELL_CROWN" -draw "$BELL_AT $BELL_CLAPPER"
        -draw "$BELL_AT circle 190,70 190,36" -fill "$AMBER" -draw "$BELL_AT circle 190,70 190,44"
        -fill white -draw "$SHIELD_AT $SHIELD"
        -fill none -stroke "$TEAL_DARK" -strokewidth 9 -draw "$ROUND $SHIELD_AT $SHIELD_CHECK"
        -stroke none -fill white -draw "$CAL_AT $CAL_LEAF"
        -fill "$AMBER" -draw "$CAL_AT $CAL_TOP" -draw "$CAL_AT rectangle -32,-12 32,-4"
        -fill "$TEAL_DARK" -draw "$CAL_AT $CAL_RINGS"
        -draw "$CAL_AT rectangle -19,6 -9,15 rectangle -5,6 5,15 rectangle 9,6 19,15 rectangle -19,20 -9,29 rectangle -5,20 5,29"
        -fill none -stroke white -strokewidth 13 -draw "$ROUND $CHECK_AT $CHECK"
    )
}
