#!/usr/bin/env bash
# Openbox with tint2 along the bottom, on 1024 x 768: the measurement screen full screen over
# the panel, a measurement that reads as without a desktop, Esc back to the start screen with
# the keyboard, and the start screen restored from maximized to its design size.
source "$KELVANE_TESTS/e2e_lib.sh"
source "$KELVANE_TESTS/e2e_desktop.sh"

# 100 pixels left of and 40 above the reference point: BR: 5.0, BD: 2.
measure_without_desktop bare $((REF_X - 100)) $((REF_Y - 40))
start_openbox
measure_on_desktop bare $((REF_X - 100)) $((REF_Y - 40)) openbox
expect_restored_start "$START" 96 openbox
exit_discarding "$START" "$KELVANE_PID"

# The Hess test by Ctrl+H as on a bare server; the window manager's close (Alt+F4) leaves it as
# Esc does, with the keyboard back on the start screen and the point kept: leaving asks.
printf "$HESS_SETTINGS" >"$SETTINGS"
start_kelvane
START=$(wait_window Kelvane) || fail "start screen did not appear for the Hess test"
send_keys "$START" ctrl+h
hess_first_point 1024 768 openbox
xdotool key alt+F4
START=$(wait_window Kelvane) || fail "Alt+F4 on the Hess test did not bring back the start screen"
expect_focused "$START" "the start screen after Alt+F4 on the Hess test"
exit_discarding "$START" "$KELVANE_PID"
echo "ok: on openbox the Hess test reads as without a desktop, and Alt+F4 leaves it as Esc does"
