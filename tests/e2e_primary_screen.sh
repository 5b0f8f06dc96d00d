#!/usr/bin/env bash
# Two monitors side by side, the primary one on the right and larger: the start screen opens on
# the primary monitor, and the measurement and calibration screens cover exactly that monitor,
# whose size is the one the limits and placements use.
source "$KELVANE_TESTS/e2e_lib.sh"

# Xvfb forgets monitors when its last client leaves, so one client stays for the whole test.
xprop -root -spy >/dev/null 2>&1 &
disown $!
E2E_PIDS+=($!)
xrandr --setmonitor Left 1024/270x768/203+0+0 none >/dev/null
xrandr --setmonitor '*Right' 1280/338x1024/270+1024+0 screen >/dev/null
[[ $(xrandr --listmonitors | head -n1) == 'Monitors: 2' ]] ||
    fail "the two monitors were not set up: $(xrandr --listmonitors)"
PRIMARY='1024 0 1280 1024'

geometry() { # geometry <window>: "x y width height" on the X screen
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /^ *Width:/ {w = $NF} /^ *Height:/ {h = $NF} END {print x, y, w, h}'
}

start_kelvane
window=$(wait_window Kelvane) || fail "start screen did not appear"
read -r x y _ _ <<<"$(geometry "$window")"
((x >= 1024 && y >= 0)) || fail "start screen opened at $x,$y, off the primary monitor"
echo "ok: the start screen opened on the primary monitor"

send_keys "$window" Return
measurement=$(wait_window Form1) || fail "\"Start\" did not open the measurement screen"
[[ $(geometry "$measurement") == "$PRIMARY" ]] ||
    fail "measurement screen covers $(geometry "$measurement"), not the primary monitor $PRIMARY"
echo "ok: the measurement screen covers exactly the primary monitor"

# Without a settings file the left eye fixes behind the blue filter: the blue ring, 43 pixels
# across, stands in the middle of the primary monitor, (1280 / 2 - 21, 1024 / 2 - 21) inside it.
# The blue ring's box within one monitor's part of the screen, once it is drawn whole.
ring_on() { # ring_on <WxH+X+Y of the monitor>
    local ring=
    for ((i = 0; i < 100; i++)); do
        import -window root "$E2E_WORK/shot.png"
        ring=$(convert "$E2E_WORK/shot.png" -crop "$1" +repage \
            -fill black +opaque '#0000FF' -trim -format '%wx%h%O' info:)
        [[ $ring == 43x43* ]] && break
        sleep 0.05
    done
    echo "$ring"
}
ring=$(ring_on 1280x1024+1024+0)
[[ $ring == 43x43+619+491 ]] || fail "the ring stands at $ring on the primary monitor, not 43x43+619+491"
echo "ok: the ring stands in the middle of the primary monitor"

send_keys "$measurement" Escape
window=$(wait_window Kelvane) || fail "Esc did not bring back the start screen"
# "Calibrate" is the button before "Start" in the focus order.
send_keys "$window" shift+Tab Return
calibration=$(wait_window Form2) || fail "\"Calibrate\" did not open the calibration screen"
[[ $(geometry "$calibration") == "$PRIMARY" ]] ||
    fail "calibration screen covers $(geometry "$calibration"), not the primary monitor $PRIMARY"
echo "ok: the calibration screen covers exactly the primary monitor"

# A monitor taken away while the calibration screen is open: the start screen comes back as
# "Cancel" brings it, and nothing is saved.
saved=$(md5sum <"$SETTINGS")
xrandr --delmonitor Left >/dev/null
window=$(wait_window Kelvane) || fail "a monitor taken away did not bring back the start screen"
wait_no_window Form2 || fail "the calibration screen stayed open when a monitor was taken away"
[[ $(md5sum <"$SETTINGS") == "$saved" ]] || fail "the return on a monitor taken away saved"
echo "ok: a monitor taken away brought back the start screen from the calibration, saving nothing"

# The monitor comes back, and the clinician moves the start screen onto it: the measurement
# opens there, with the ring in its middle, and the pointer cannot leave it.
xrandr --setmonitor Left 1024/270x768/203+0+0 none >/dev/null
xdotool windowmove "$window" 10 10
for ((i = 0; i < 200; i++)); do
    [[ $(geometry "$window") == '10 10 '* ]] && break
    sleep 0.05
done
send_keys "$window" Return
measurement=$(wait_window Form1) || fail "\"Start\" did not open the measurement screen"
LEFT='0 0 1024 768'
[[ $(geometry "$measurement") == "$LEFT" ]] ||
    fail "measurement screen covers $(geometry "$measurement"), not the left monitor $LEFT"
ring=$(ring_on 1024x768+0+0)
[[ $ring == 43x43+491+363 ]] || fail "the ring stands at $ring on the left monitor, not 43x43+491+363"
echo "ok: the measurement opened on the monitor the start screen was moved to"

pointer() { xdotool mousemove "$1" "$2" getmouselocation | sed 's/ screen.*//'; }
[[ $(pointer 1500 300) == 'x:1023 y:300' ]] || fail "the pointer left the measurement's monitor: $(pointer 1500 300)"
[[ $(pointer 2200 1000) == 'x:1023 y:767' ]] || fail "the pointer left the measurement's monitor: $(pointer 2200 1000)"
echo "ok: the pointer cannot leave the measurement's monitor"

send_keys "$measurement" Escape
window=$(wait_window Kelvane) || fail "Esc did not bring back the start screen"
[[ $(geometry "$window") == "$LEFT" ]] ||
    fail "the start screen came back at $(geometry "$window"), not on the left monitor $LEFT"
[[ $(pointer 1500 300) == 'x:1500 y:300' ]] || fail "the pointer is still kept on the left monitor"
echo "ok: back on the start screen, on the same monitor, with the pointer free"
