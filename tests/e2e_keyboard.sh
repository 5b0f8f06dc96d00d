#!/usr/bin/env bash
# The platform's keyboard and mouse conventions in the real program, through real X input: on
# the start screen Tab enters each option group at its selected button and the arrow keys move
# the selection; on the calibration screen an arrow button held down repeats its step.
source "$KELVANE_TESTS/e2e_lib.sh"

# Tab from "Start" lands on the selected "OD Blue, OS Red", where Down selects the next filter
# ("OD Red, OS Green"); the next Tab lands on "Left", where Down goes round to "Center"; two
# more reach "OS" past "Exit", where Up selects "OD". Esc saves what is now selected.
printf '[Filter]\nFILTER= 3\nTARGET= 3\nFIXEYE= 2\n[Screen]\nSCREENH= 500\nSCREENV= 500\n' \
    >"$SETTINGS"
start_kelvane
window=$(wait_window Kelvane) || fail "start screen did not appear"
send_keys "$window" Tab Down Tab Down Tab Tab Up Escape
wait_exit "$KELVANE_PID"
expect_file "$SETTINGS" '[Filter]
FILTER= 2
TARGET= 1
FIXEYE= 1
[Screen]
SCREENH= 500
SCREENV= 500'
echo "ok: Tab entered each group at its selection and the arrows moved the selection"

# Qt takes 96 dpi on an X display that sets no Xft.dpi: 15 twips make one pixel.
px() { echo $(((($1) * 96 + 720) / 1440)); }
middle() { echo $(($(px "$1") + $(px "$2") / 2)); }
calibrate_x=$(middle 1800 1572) calibrate_y=$(middle 3840 492)
# Each bar is two arrow buttons sharing its length: the second half raises the value.
right_x=$(($(px 5160) + $(px 492) * 3 / 4)) right_y=$(middle 1920 612)
lower_x=$(middle 1920 732) lower_y=$(($(px 5040) + $(px 492) * 3 / 4))
# The buttons stand under the instruction picture, which keeps its own 355 pixel height.
done_x=$(middle 8280 1572)
done_y=$(($(px 2880) + 355 + $(px 60) + $(px 8280) - $(px 7200) + $(px 492) / 2))

# Holds the mouse button down at a place for 1.5 s, three times the repeat delay.
hold_at() { # hold_at <window> <x> <y>
    xdotool mousemove --window "$1" "$2" "$3" mousedown 1
    sleep 1.5
    xdotool mouseup 1
}
# The colour of one pixel of the screenshot as #RRGGBB.
pixel() { # pixel <shot> <x> <y>
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'
}

# From 300 and 300, well inside the limits on this screen, so that the marks follow the bars.
printf '[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 300\nSCREENV= 300\n' \
    >"$SETTINGS"
start_kelvane
start=$(wait_window Kelvane) || fail "start screen did not appear"
xdotool mousemove --window "$start" "$calibrate_x" "$calibrate_y" click 1
cali=$(wait_window 'Form2.*') || fail "\"Calibrate\" did not open the calibration screen"
hold_at "$cali" "$right_x" "$right_y"
hold_at "$cali" "$lower_x" "$lower_y"
# The screen as the held arrows left it, once two shots in a row agree.
for ((i = 0; i < 20; i++)); do
    import -window root "$E2E_WORK/held.png"
    [[ -e $E2E_WORK/before.png ]] && cmp -s "$E2E_WORK/held.png" "$E2E_WORK/before.png" && break
    cp "$E2E_WORK/held.png" "$E2E_WORK/before.png"
    sleep 0.1
done
xdotool mousemove --window "$cali" "$done_x" "$done_y" click 1
start=$(wait_window Kelvane) || fail "\"Done\" did not bring back the start screen"
# The values in use: [Screen] stands before the calibration's records.
screen_h=$(sed -n 's/^SCREENH= //p' "$SETTINGS" | head -n1)
screen_v=$(sed -n 's/^SCREENV= //p' "$SETTINGS" | head -n1)
((screen_h > 301 && screen_v > 301)) ||
    fail "held arrows moved the values to $screen_h and $screen_v only: $(cat "$SETTINGS")"
# The marks followed the held arrows: each stood at 100 plus the value stored. Xvfb's monitor
# reports no size of its own, so the lengths follow the 300 stored, and 150 mm fit both ways.
mark_x=$((100 + screen_h)) mark_y=$((100 + screen_v))
[[ $(pixel "$E2E_WORK/held.png" $mark_x 75) == '#000000' &&
    $(pixel "$E2E_WORK/held.png" $((mark_x + 1)) 75) == '#C0C0C0' &&
    $(pixel "$E2E_WORK/held.png" 75 $mark_y) == '#000000' &&
    $(pixel "$E2E_WORK/held.png" 75 $((mark_y + 1))) == '#C0C0C0' ]] ||
    fail "the marks did not stand at x = $mark_x and y = $mark_y"
send_keys "$start" Escape
wait_exit "$KELVANE_PID"
echo "ok: held arrows moved the values from 300 to $screen_h and $screen_v, the marks with them"
