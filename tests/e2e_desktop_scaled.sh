#!/usr/bin/env bash
# Xfce on 1920 x 1080 with fonts at 144 dpi, the usual 150 % laptop setting: the measurement
# screen full screen, a measurement that reads as without a desktop, and results whose every
# digit shows.
source "$KELVANE_TESTS/e2e_lib.sh"
source "$KELVANE_TESTS/e2e_desktop.sh"

set_font_dpi 144
# 556 pixels right of and 376 below the reference point: BL: 27.8, BU: 18.8.
measure_without_desktop bare $((REF_X + 556)) $((REF_Y + 376))
expect_readable_results bare 144 "BL: 27.8" "BU: 18.8" OD
echo "ok: at 144 dpi the results show whole"
start_xfce
measure_on_desktop bare $((REF_X + 556)) $((REF_Y + 376)) xfce
exit_discarding "$START" "$KELVANE_PID"
