#!/usr/bin/env bash
# The Hess test with the real program: 9 points for each eye by real clicks at known offsets from
# the rings, one point measured again after Backspace and one skipped with Space; a second test
# left by Esc half way. The Results window lists the points under its Hess filter beside the
# charts, and "Copy all" read back from the X clipboard holds every point as worked out by hand.
# 300 pixels per 150 mm at 60 cm put the eye 1200 pixels from the 1024 x 768 screen: a target
# at (alpha, beta) stands 1200 tan(alpha) right and 1200 tan(beta) / cos(alpha) up of (512, 384).
source "$KELVANE_TESTS/e2e_lib.sh"

printf '[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 1\n[Screen]\nSCREENH= 300\nSCREENV= 300\n' >"$SETTINGS"

# The ring's top left corner at each inner target, in the order shown: the centre, then round
# from straight up, clockwise.
corners=("491 363" "491 41" "813 30" "813 363" "813 696" "491 685" "169 696" "169 363" "169 30")

# Waits until the ring of target <i> shows in <colour>.
wait_ring() { # wait_ring <i> <red|blue>
    wait_ring_at ${corners[$1]} "$2"
}
# Clicks <dx> right and <dy> below the reference point of target <i>'s ring (6 in from its
# corner), once the ring stands there.
click_at() { # click_at <i> <colour> [dx dy]
    local x y
    wait_ring "$1" "$2"
    read -r x y <<<"${corners[$1]}"
    xdotool mousemove $((x + 6 + ${3:-0})) $((y + 6 + ${4:-0})) click 1
}
red=red
blue=blue

start_kelvane
start=$(wait_window Kelvane) || fail "start screen did not appear"

# OD fixes first: a red ring. The centre 12 right and 6 up; the point above clicked 30 off,
# taken back with Backspace and clicked 6 right; the next on the ring; one skipped; the corner
# below right 8 left and 4 down; the rest on their rings.
send_keys "$start" ctrl+h
hess=$(wait_window 'Hess test') || fail "Ctrl+H did not open the Hess test"
click_at 0 $red 12 -6
if [[ -n ${KELVANE_SCREENSHOT:-} ]]; then
    settled_shot hess
    cp "$SHOTS/hess.png" "$KELVANE_SCREENSHOT-hess.png"
fi
click_at 1 $red 30 30
wait_ring 2 $red
send_keys "$hess" BackSpace
click_at 1 $red 6 0
click_at 2 $red
wait_ring 3 $red
send_keys "$hess" space
click_at 4 $red -8 4
for i in 5 6 7 8; do click_at "$i" $red; done
# Then OS fixes, a blue ring: the centre 24 left, the rest on their rings. The last click ends
# the test.
click_at 0 $blue -24 0
for i in 1 2 3 4 5 6 7 8; do click_at "$i" $blue; done
start=$(wait_window Kelvane) || fail "the Hess test did not end after the last point"
wait_no_window 'Hess test' || fail "the Hess test is still open"
echo "ok: 9 points for each eye, one measured again and one skipped"

# A second test, left by Esc after four points of the first eye.
send_keys "$start" ctrl+h
hess=$(wait_window 'Hess test') || fail "Ctrl+H did not open the Hess test again"
for i in 0 1 2 3; do click_at "$i" $red; done
wait_ring 4 $red
send_keys "$hess" Escape
start=$(wait_window Kelvane) || fail "Esc did not end the Hess test"
echo "ok: Esc half way through the second test"

send_keys "$start" ctrl+r
results=$(wait_window 'Results of the visit') || fail "Ctrl+R did not open the results"
# The filter (Alt+S) goes from the three targets to the Hess tests.
send_keys "$results" alt+s Down
if [[ -n ${KELVANE_SCREENSHOT:-} ]]; then
    xdotool mousemove 1023 767
    settled_shot results
    cp "$SHOTS/results.png" "$KELVANE_SCREENSHOT-results.png"
fi
xclip -selection clipboard </dev/null
send_keys "$results" alt+c
text=$(clipboard UTF8_STRING) || fail "Copy all put no text on the clipboard"
mapfile -t lines <<<"$text"
((${#lines[@]} == 27)) || fail "copied ${#lines[@]} lines: '$text'"
first='Hess OS plotted, OD fixing, inner field, target α '
second='Hess OD plotted, OS fixing, inner field, target α '
common='; calibration 300 x 300 px per 150 mm; viewing distance 60 cm; not calibrated for this screen'
declare -A expected=(
    [0]="${first}0.0° β 0.0°: measured α 0.6° β 0.3°, deviation α 0.6° β 0.3° = BL 1.0 BD 0.5 (prism dioptres)$common"
    [1]="${first}0.0° β 15.0°: measured α 0.3° β 15.0°, deviation α 0.3° β 0.0° = BL 0.5 BU 0 (prism dioptres)$common"
    [2]="${first}15.0° β 15.0°: measured α 15.0° β 15.0°, deviation α 0.0° β 0.0° = BL 0.0 BU 0 (prism dioptres)$common"
    [3]="${first}15.0° β 0.0°: skipped$common"
    [4]="${first}15.0° β -15.0°: measured α 14.6° β -15.2°, deviation α -0.4° β -0.2° = BR 0.6 BU 0.3 (prism dioptres)$common"
    [8]="${first}-15.0° β 15.0°: measured α -15.0° β 15.0°, deviation α 0.0° β 0.0° = BL 0.0 BU 0 (prism dioptres)$common"
    [9]="${second}0.0° β 0.0°: measured α -1.1° β 0.0°, deviation α -1.1° β 0.0° = BR 2.0 BU 0 (prism dioptres)$common"
    [17]="${second}-15.0° β 15.0°: measured α -15.0° β 15.0°, deviation α 0.0° β 0.0° = BL 0.0 BU 0 (prism dioptres)$common"
    [21]="${first}15.0° β 0.0°: measured α 15.0° β 0.0°, deviation α 0.0° β 0.0° = BL 0.0 BU 0 (prism dioptres)$common; test incomplete"
    [22]="${first}15.0° β -15.0°: not measured$common; test incomplete"
)
for i in "${!expected[@]}"; do
    [[ ${lines[i]} =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}\ \ (.*)$ ]] || fail "copied: '${lines[i]}'"
    [[ ${BASH_REMATCH[1]} == "${expected[$i]}" ]] ||
        fail "copied line $i: '${BASH_REMATCH[1]}', expected '${expected[$i]}'"
done
echo "ok: Copy all put every point on the clipboard as text, as worked out by hand"

table=$(clipboard text/tab-separated-values) || fail "Copy all put no table on the clipboard"
mapfile -t rows <<<"$table"
# The three targets' header, an empty row, the Hess table's header and its 27 rows.
((${#rows[@]} == 30)) || fail "copied table of ${#rows[@]} rows: '$table'"
[[ $(cut -f3-9 <<<"${rows[2]}") == $'Hess test\tEye plotted\tFixing eye\tField\tTarget α (°, right +)\tTarget β (°, up +)\tPoint' ]] ||
    fail "copied Hess header: '${rows[2]}'"
[[ $(cut -f3-17 <<<"${rows[7]}") == $'complete\tOS\tOD\tinner\t15.0°\t-15.0°\tmeasured\t14.6°\t-15.2°\t-0.4°\t-0.2°\tBR\t0.6\tBU\t0.3' ]] ||
    fail "copied row of the corner below right: '${rows[7]}'"
[[ $(cut -f3-9 <<<"${rows[27]}") == $'incomplete\tOS\tOD\tinner\t-15.0°\t-15.0°\tnot measured' ]] ||
    fail "copied row of the second test: '${rows[27]}'"
echo "ok: Copy all put every point on the clipboard as a table, the second test incomplete"

# Copied, the visit goes without a question.
send_keys "$results" Escape
wait_no_window 'Results of the visit' || fail "Esc did not close the results"
send_keys "$start" Escape
wait_exit "$KELVANE_PID"
echo "ok: after Copy all Esc ended the program"
