#!/usr/bin/env bash
# The visit's results with the real program: two measurements, each left its own way; Esc on
# the start screen asks before the results go, and Enter stays. Ctrl+R on the start screen opens
# the results with the keyboard in the identifier, where Delete removes nothing, and "Copy all"
# puts both on the clipboard as lines of text and as a table for a spreadsheet, read back from
# the X clipboard; after it, Esc ends the program without asking.
source "$KELVANE_TESTS/e2e_lib.sh"

printf '[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 567\nSCREENV= 500\n' >"$SETTINGS"

# Waits until the measurement screen shows the blue ring whose top is at (x, 363).
wait_ring() {
    local i
    for ((i = 0; i < 200; i++)); do
        shot ring
        [[ $(rgb ring "$1" 363) == 0,0,255 ]] && return 0
        sleep 0.05
    done
    fail "no blue ring at ($1, 363)"
}

start_kelvane
start=$(wait_window Kelvane) || fail "start screen did not appear"

# Center, OS fixes: 68 pixels right of and below the reference point (497, 369). Esc.
send_keys "$start" space
form1=$(wait_window Form1) || fail "the measurement screen did not appear"
wait_ring 512
xdotool mousemove 565 437 click 1
send_keys "$form1" Escape
start=$(wait_window Kelvane) || fail "Esc did not bring back the start screen"
wait_no_window Form1 || fail "the measurement screen is still open"

# Esc again, on the start screen: the result was neither copied, saved nor printed, so the
# program asks, and Enter stays.
send_keys "$start" Escape
question=$(wait_window 'Results not saved') || fail "Esc on the start screen did not ask about the results"
kill -0 "$KELVANE_PID" 2>/dev/null || fail "Esc, Esc ended the program"
send_keys "$question" Return
wait_no_window 'Results not saved' || fail "Enter did not answer the question"
kill -0 "$KELVANE_PID" 2>/dev/null || fail "Esc, Esc, Enter ended the program"
start=$(wait_window Kelvane) || fail "the start screen went after Esc, Esc, Enter"
echo "ok: Esc, Esc asks before the results go, and Enter stays"

# Right ("Right" in the Target frame, then "Start"): the reference point is (753, 369); 77 left
# and 69 up. A right click leaves.
xdotool mousemove 330 124 click 1 mousemove 236 400 click 1
form1=$(wait_window Form1) || fail "the measurement screen did not open at the right target"
wait_ring 768
xdotool mousemove 676 300 click 1 click 3
start=$(wait_window Kelvane) || fail "a right click did not bring back the start screen"
wait_no_window Form1 || fail "the measurement screen is still open"
echo "ok: two measurements, left by Esc and by a right click"

send_keys "$start" ctrl+r
results=$(wait_window 'Results of the visit') || fail "Ctrl+R did not open the results"
# The keyboard is in the identifier, not the table: Delete removes no result (both are copied).
send_keys "$results" Delete
xclip -selection clipboard </dev/null
send_keys "$results" alt+c
text=$(clipboard UTF8_STRING) || fail "Copy all put no text on the clipboard"
mapfile -t lines <<<"$text"
((${#lines[@]} == 2)) || fail "copied text: '$text'"
expected=("OD: BL 3.0 BU 3.4 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration 567 x 500 px per 150 mm; screen 1024 x 768; target Center; viewing distance 60 cm"
    "OD: BR 3.4 BD 3.5 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration 567 x 500 px per 150 mm; screen 1024 x 768; target Right; viewing distance 60 cm")
for i in 0 1; do
    [[ ${lines[i]} =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}\ \ (.*)$ ]] || fail "copied: '${lines[i]}'"
    # Whether the calibration was made here is the widget tests' to hold.
    [[ ${BASH_REMATCH[1]%; not calibrated for this screen} == "${expected[i]}" ]] ||
        fail "copied line $i: '${lines[i]}'"
done
echo "ok: Copy all put both results on the clipboard as text, oldest first"

table=$(clipboard text/tab-separated-values) || fail "Copy all put no table on the clipboard"
mapfile -t rows <<<"$table"
((${#rows[@]} == 3)) || fail "copied table: '$table'"
[[ $(cut -f1-6 <<<"${rows[0]}") == $'Patient\tTime\tGlasses\tTarget\tFixing eye\tEye seeing the cross' ]] ||
    fail "copied header: '${rows[0]}'"
[[ $(cut -f3-10 <<<"${rows[1]}") == $'OD red, OS blue\tCenter\tOS\tOD\tBL\t3.0\tBU\t3.4' ]] ||
    fail "copied first row: '${rows[1]}'"
[[ $(cut -f3-10 <<<"${rows[2]}") == $'OD red, OS blue\tRight\tOS\tOD\tBR\t3.4\tBD\t3.5' ]] ||
    fail "copied second row: '${rows[2]}'"
echo "ok: Copy all put both results on the clipboard as a table with a header row"

if [[ -n ${KELVANE_SCREENSHOT:-} ]]; then
    xdotool mousemove 1023 767
    settled_shot results
    cp "$SHOTS/results.png" "$KELVANE_SCREENSHOT"
fi

# Esc closes the results; the start screen is there under them, and Esc there ends the program
# without asking: the visit was copied.
send_keys "$results" Escape
wait_no_window 'Results of the visit' || fail "Esc did not close the results"
[[ -n $(xdotool search --onlyvisible --name '^Kelvane$') ]] || fail "the start screen went"
send_keys "$start" Escape
wait_exit "$KELVANE_PID"
echo "ok: the results closed over the start screen, and after Copy all Esc ended the program"
