#!/usr/bin/env bash
# Xfce on 1280 x 1024 (xfwm4 with the xfce4-panel along the top): the measurement and
# calibration screens cover the panel as full-screen windows, a measurement reads as without a
# desktop, Esc brings back the start screen with the keyboard, the start screen restores to its
# design size, and every window carries the program's icon.
source "$KELVANE_TESTS/e2e_lib.sh"
source "$KELVANE_TESTS/e2e_desktop.sh"

# 68 pixels right of and 68 below the reference point: BL: 3.4, BU: 3.4.
measure_without_desktop bare $((REF_X + 68)) $((REF_Y + 68))
expect_readable_results bare 96 "BL: 3.4" "BU: 3.4" OD
start_xfce
CHECK_ICONS=1 measure_on_desktop bare $((REF_X + 68)) $((REF_Y + 68)) xfce
expect_icon "$START" "the start screen"

# "Calibrate" is two buttons before "Start" in the focus order once the measurement has put
# "Results" between them.
send_keys "$START" shift+Tab shift+Tab Return
cali=$(wait_window 'Form2') || fail "\"Calibrate\" did not open the calibration screen"
expect_state "$cali" FULLSCREEN "the calibration screen"
expect_geometry "$cali" "0 0 $SCREEN_W $SCREEN_H" "the calibration screen"
expect_icon "$cali" "the calibration screen"
echo "ok: the calibration screen is full screen on xfce"
# "Cancel" follows "Done" in the focus order.
send_keys "$cali" Tab Return
START=$(wait_window Kelvane) || fail "\"Cancel\" did not bring back the start screen"
expect_focused "$START" "the start screen after \"Cancel\""
expect_restored_start "$START" 96 xfce

# The Results window over the start screen. xfwm4 hands the keyboard to the window below when
# a dialog closes: it must come back to the Results window, or every key is lost.
send_keys "$START" ctrl+r
results=$(wait_window 'Results of the visit') || fail "Ctrl+R did not open the Results window"
expect_icon "$results" "the Results window"
expect_focused "$results" "the Results window"
xdotool key alt+d
wait_window 'Save the report as PDF' >/dev/null || fail "Alt+D did not open the file dialog"
xdotool key Escape
expect_focused "$results" "the Results window after its file dialog"
xdotool key Escape
expect_focused "$START" "the start screen after the Results window"
echo "ok: the Results window keeps the keyboard on xfce after its file dialog, and Esc closes it"

# The window manager's close (Alt+F4) asks, as Esc does, while the result was neither copied,
# saved nor printed: Enter stays, and "Exit and discard the results" ends the program.
send_keys "$START" alt+F4
question=$(wait_window 'Results not saved') || fail "Alt+F4 on the start screen did not ask about the results"
send_keys "$question" Return
wait_no_window 'Results not saved' || fail "Enter did not answer the question"
kill -0 "$KELVANE_PID" 2>/dev/null || fail "Alt+F4, Enter ended the program"
send_keys "$START" alt+F4
question=$(wait_window 'Results not saved') || fail "Alt+F4 did not ask again"
send_keys "$question" alt+x
wait_exit "$KELVANE_PID"
echo "ok: xfwm4's close asks before the results go; Enter stays"
