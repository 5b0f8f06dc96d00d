#!/usr/bin/env bash
# A laptop in presentation mode: its 1366 x 768 picture mirrored on a 24-inch monitor, with the
# laptop's own calibration in use. A patient who looks at the 24-inch sees every offset 54 %
# larger, so the start screen says the calibration holds only for the laptop, and the
# measurement screen's note and the copied result say so too. A mirror within 10 % of the
# laptop's size changes nothing.
source "$KELVANE_TESTS/e2e_lib.sh"

# Xvfb forgets monitors when its last client leaves, so one client stays for the whole test.
xprop -root -spy >/dev/null 2>&1 &
disown $!
E2E_PIDS+=($!)
xrandr --setmonitor '*Laptop' 1366/344x768/194+0+0 screen >/dev/null
xrandr --setmonitor Big 1366/531x768/299+0+0 none >/dev/null

# Made on the laptop at this resolution: 1366 pixels across 344 mm are 596 per 150 mm.
record='SCREENH= 596
SCREENV= 594
MANUFACTURER=
MODEL=
SERIAL=
OUTPUT=Laptop
RESOLUTION=1366 x 768
DATE=2026-01-15'
printf '[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 596\nSCREENV= 594\n[Calibration]\n%s\n[Calibration Laptop 1366x768]\n%s\n' \
    "$record" "$record" >"$SETTINGS"

# Whether the start screen's note shows: black ink in its box, at 96 dpi (64, 4) 572 x 48.
note_shown() { [[ $(convert "$SHOTS/$1.png" -crop 572x48+64+4 +repage -format '%[fx:minima]' info:) == 0 ]]; }
# The measurement screen's note: white ink on the top line, left of the results' grey.
measurement_note_shown() {
    [[ $(convert "$SHOTS/$1.png" -crop 1200x15+0+0 +repage -format '%[fx:maxima]' info:) == 1 ]]
}
# Measures once and copies the result; prints the copied line.
measure_and_copy() { # measure_and_copy <start screen> <shot name>
    send_keys "$1" Return
    local form1 copied i
    form1=$(wait_window Form1) || fail "\"Start\" did not open the measurement screen"
    xdotool mousemove 700 400 click 1
    settled_shot "$2"
    printf 'none' | xclip -selection clipboard
    send_keys "$form1" ctrl+c
    for ((i = 0; i < 200; i++)); do
        copied=$(xclip -o -selection clipboard 2>/dev/null) && [[ $copied != none ]] && break
        sleep 0.05
    done
    send_keys "$form1" Escape
    echo "$copied"
}

# Another monitor in the mirror's place while the program is busy (stopped here): Qt takes it in
# as the old one's new size, and signals nothing.
replace_mirror() { # replace_mirror <width>x<height> in mm
    kill -STOP "$KELVANE_PID"
    until [[ $(ps -o stat= -p "$KELVANE_PID") == T* ]]; do sleep 0.01; done
    xrandr --delmonitor Big >/dev/null
    xrandr --setmonitor Big "1366/${1%x*}x768/${1#*x}+0+0" none >/dev/null
    kill -CONT "$KELVANE_PID"
}

start_kelvane
start=$(wait_window Kelvane) || fail "start screen did not appear"
settled_shot start-mirrored
note_shown start-mirrored || fail "the start screen shows no note on a mirror of another size"
echo "ok: the start screen says the picture is mirrored on a monitor of another size"

copied=$(measure_and_copy "$start" measure-mirrored)
measurement_note_shown measure-mirrored || fail "the measurement screen shows no note"
[[ $copied == *'viewing distance 60 cm; mirrored on Big: calibrated for Laptop only' ]] ||
    fail "copied: '$copied'"
echo "ok: the measurement screen's note and the copied result say so"

# The 24-inch replaced by a monitor 2 % larger than the laptop: no note anywhere.
start=$(wait_window Kelvane) || fail "Esc did not bring back the start screen"
replace_mirror 350x197
for ((i = 0; i < 100; i++)); do
    settled_shot start-alike
    note_shown start-alike || break
done
note_shown start-alike && fail "the start screen shows a note on a mirror of the laptop's size"
copied=$(measure_and_copy "$start" measure-alike)
measurement_note_shown measure-alike && fail "the measurement screen shows a note"
[[ $copied == *'viewing distance 60 cm' ]] || fail "copied: '$copied'"
echo "ok: a mirror of the laptop's size changes nothing"

# The 24-inch back while the measurement is open: the start screen comes back and says so again.
start=$(wait_window Kelvane) || fail "Esc did not bring back the start screen"
send_keys "$start" Return
wait_window Form1 >/dev/null || fail "\"Start\" did not open the measurement screen"
replace_mirror 531x299
wait_no_window Form1 || fail "the measurement screen stayed open when the mirror was replaced"
wait_window Kelvane >/dev/null || fail "the start screen did not come back"
settled_shot start-back
note_shown start-back || fail "the start screen shows no note on the 24-inch back"
echo "ok: a mirror replaced during the measurement brings back the start screen with its note"
