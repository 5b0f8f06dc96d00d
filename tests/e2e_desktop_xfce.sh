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

send_keys "$START" Escape
wait_exit "$KELVANE_PID"
