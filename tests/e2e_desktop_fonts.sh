#!/usr/bin/env bash
# Fonts at 192 dpi on a 3840 x 2160 screen: the three result lines show their whole text,
# apart from each other, for the widest results the screen can give.
source "$KELVANE_TESTS/e2e_lib.sh"
source "$KELVANE_TESTS/e2e_desktop.sh"

set_font_dpi 192
# 1776 pixels left of and 976 above the reference point: BR: 88.8, BD: 48.8.
measure_without_desktop bare $((REF_X - 1776)) $((REF_Y - 976))
expect_readable_results bare 192 "BR: 88.8" "BD: 48.8" OD
echo "ok: at 192 dpi the results show whole and apart"
