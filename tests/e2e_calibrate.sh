#!/usr/bin/env bash
# The calibration screen in the real program, driven by real clicks: "Calibrate" on the start
# screen; Enter, Enter asks and stores nothing; ten clicks on the right arrow and six on the
# lower arrow, "Done"; the settings file then holds the new calibration and the start screen
# takes it. Then "Cancel" stores nothing.
source "$KELVANE_TESTS/e2e_lib.sh"

# Qt takes 96 dpi on an X display that sets no Xft.dpi: 15 twips make one pixel.
px() { echo $(((($1) * 96 + 720) / 1440)); }

# Middles of the controls, from their design boxes (left, top, width, height in twips).
middle_x() { echo $(($(px "$1") + $(px "$2") / 2)); }
calibrate_x=$(middle_x 1800 1572) calibrate_y=$(middle_x 3840 492)
# Each bar is two arrow buttons sharing its length: the second half raises the value.
right_x=$(($(px 5160) + $(px 492) * 3 / 4)) right_y=$(middle_x 1920 612)
lower_x=$(middle_x 1920 732) lower_y=$(($(px 5040) + $(px 492) * 3 / 4))
# The buttons stand under the instruction picture, which keeps its own 355 pixel height, so
# below 120 dpi they move down with it: "Screen Resolution" 60 twips under the picture, the
# buttons 1080 twips under that.
buttons_top=$(($(px 2880) + 355 + $(px 60) + $(px 8280) - $(px 7200)))
done_x=$(middle_x 8280 1572) cancel_x=$(middle_x 4200 1572)
buttons_y=$((buttons_top + $(px 492) / 2))

# The colour of one screen pixel as #RRGGBB.
pixel() {
    import -window root "$E2E_WORK/shot.png"
    convert "$E2E_WORK/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'
}
# Waits (up to 5 s) until a screen pixel has the colour; the program repaints on its own time.
wait_pixel() {
    local i
    for ((i = 0; i < 50; i++)); do
        [[ $(pixel "$1" "$2") == "$3" ]] && return 0
        sleep 0.1
    done
    return 1
}
BLACK='#000000' GREY='#C0C0C0'

click_at() { # click_at <window> <x> <y> [times]
    xdotool mousemove --window "$1" "$2" "$3" click --repeat "${4:-1}" --delay 150 1
}

# Xvfb's monitor reports no size of its own, so the lengths follow the 500 stored: 150 mm down,
# with 5 % to spare (525 pixels), do not fit in the 517 the vertical mark can move, so it is set
# at 100 mm, and a step of its bar is 1.5 pixels per 150 mm. 500 down stands at 333 pixels.
MARK_Y=433

# No settings file: the start screen writes 500 and 500 before it opens the calibration.
start_kelvane
start=$(wait_window Kelvane) || fail "start screen did not appear"
click_at "$start" "$calibrate_x" "$calibrate_y"
cali=$(wait_window 'Form2.*') || fail "\"Calibrate\" did not open the calibration screen"
expect_file "$SETTINGS" "$DEFAULT_SETTINGS"
# The marks stand at 100 plus 500 across and 100 plus 333 down.
wait_pixel 600 75 "$BLACK" || fail "no mark at x = 600"
wait_pixel 75 $MARK_Y "$BLACK" || fail "no mark at y = $MARK_Y"
echo "ok: \"Calibrate\" opened the calibration screen with the marks at 600 and $MARK_Y"

# Nothing has been calibrated on this monitor: Enter on "Done", which has the focus, with the
# marks where the screen opened them asks first whether a ruler checked them, "Go back" the
# default. A second Enter goes back: nothing is stored and the calibration screen stays.
send_keys "$cali" Return
question=$(wait_window 'Check the calibration') ||
    fail "Enter on \"Done\" stored marks no ruler checked without asking: $(cat "$SETTINGS")"
expect_file "$SETTINGS" "$DEFAULT_SETTINGS"
send_keys "$question" Return
wait_no_window 'Check the calibration' || fail "a second Enter did not close the question"
[[ -n $(xdotool search --onlyvisible --name '^Form2$') ]] || fail "the calibration screen closed"
expect_file "$SETTINGS" "$DEFAULT_SETTINGS"
echo "ok: Enter, Enter on marks not moved asked, went back and stored nothing"

click_at "$cali" "$right_x" "$right_y" 10
click_at "$cali" "$lower_x" "$lower_y" 6
wait_pixel 610 75 "$BLACK" || fail "the horizontal mark did not reach x = 610"
wait_pixel 75 $((MARK_Y + 6)) "$BLACK" || fail "the vertical mark did not reach y = $((MARK_Y + 6))"
[[ $(pixel 600 75) == "$GREY" && $(pixel 611 75) == "$GREY" ]] ||
    fail "the horizontal mark is not one column at x = 610"
[[ $(pixel 75 $MARK_Y) == "$GREY" && $(pixel 75 $((MARK_Y + 7))) == "$GREY" ]] ||
    fail "the vertical mark is not one row at y = $((MARK_Y + 6))"
echo "ok: ten and six clicks moved the marks to 610 and $((MARK_Y + 6))"

click_at "$cali" "$done_x" "$buttons_y"
start=$(wait_window Kelvane) || fail "\"Done\" did not bring back the start screen"
xdotool search --onlyvisible --name '^Form2' >/dev/null && fail "the calibration screen stayed open"
# The values in use, then their record with the monitor, its resolution and the day, as the
# record in use and as the monitor's own.
stored=$(cat "$SETTINGS")
[[ ${stored%%\[Calibration*} == "${DEFAULT_SETTINGS/SCREENH= 500
SCREENV= 500/SCREENH= 510
SCREENV= 508}"$'\n' ]] || fail "\"Done\" stored: $stored"
record=$(sed -n '/^\[Calibration\]$/,/^DATE=/p' "$SETTINGS")
[[ $record == *$'\nSCREENH= 510\nSCREENV= 508\n'* && $record == *$'\nRESOLUTION=1024 x 768\n'* &&
    $record == *"DATE=$(date +%Y-%m-%d)" ]] || fail "no record of the calibration: $stored"
[[ $(grep -c '^\[Calibration .* 1024x768\]$' "$SETTINGS") == 1 ]] ||
    fail "no archive of the calibration for this monitor: $stored"
echo "ok: \"Done\" stored 510 and 508 (339 pixels of 100 mm, 508.5 per 150 mm) with their record"

# The start screen writes back what it read and accepted: 510 and 508 survive its Esc.
send_keys "$start" Escape
wait_exit "$KELVANE_PID"
grep -q '^SCREENH= 510' "$SETTINGS" && grep -q '^SCREENV= 508' "$SETTINGS" ||
    fail "the start screen did not take the new calibration: $(cat "$SETTINGS")"
echo "ok: the start screen took 510 and 508"

# "Cancel" after moving both marks leaves the file byte for byte as the start screen wrote it.
start_kelvane
start=$(wait_window Kelvane) || fail "start screen did not appear again"
click_at "$start" "$calibrate_x" "$calibrate_y"
cali=$(wait_window 'Form2.*') || fail "\"Calibrate\" did not open the calibration screen again"
before=$(md5sum <"$SETTINGS")
wait_pixel 610 75 "$BLACK" || fail "the calibration screen did not load 510"
click_at "$cali" "$right_x" "$right_y" 3
click_at "$cali" "$lower_x" "$lower_y" 2
wait_pixel 613 75 "$BLACK" || fail "the horizontal mark did not move"
click_at "$cali" "$cancel_x" "$buttons_y"
start=$(wait_window Kelvane) || fail "\"Cancel\" did not bring back the start screen"
[[ $(md5sum <"$SETTINGS") == "$before" ]] || fail "\"Cancel\" changed the file: $(cat "$SETTINGS")"
send_keys "$start" Escape
wait_exit "$KELVANE_PID"
echo "ok: \"Cancel\" stored nothing"
