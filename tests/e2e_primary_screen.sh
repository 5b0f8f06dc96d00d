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
ring=
for ((i = 0; i < 100; i++)); do
    import -window root "$E2E_WORK/measurement.png"
    ring=$(convert "$E2E_WORK/measurement.png" -crop 1280x1024+1024+0 +repage \
        -fill black +opaque '#0000FF' -trim -format '%wx%h%O' info:)
    [[ $ring == 43x43* ]] && break
    sleep 0.05
done
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
