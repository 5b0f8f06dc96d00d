#!/usr/bin/env bash
# The calibration screen on low screens, 800 x 600 and 1024 x 600 (the primary monitor of a
# larger X screen): "Done" and "Cancel" stand whole on the screen and work with the mouse. And
# a step bar that has the focus looks different from one that has not.
source "$KELVANE_TESTS/e2e_lib.sh"
source "$KELVANE_TESTS/e2e_desktop.sh"

# Qt takes 96 dpi on an X display that sets no Xft.dpi: 15 twips make one pixel.
px() { echo $(((($1) * 96 + 720) / 1440)); }
box() { echo "$(px "$3")x$(px "$4")+$(px "$1")+$(px "$2")"; } # box <left> <top> <width> <height>
grow() { # grow <WxH+X+Y> <pixels>: the box with a margin around it
    local w=${1%%x*} rest=${1#*x}
    local h=${rest%%+*} x=${rest#*+}
    local y=${x#*+}
    x=${x%%+*}
    echo "$((w + 2 * $2))x$((h + 2 * $2))+$((x - $2))+$((y - $2))"
}

# Xvfb forgets monitors when its last client leaves, so one client stays for the whole test.
xprop -root -spy >/dev/null 2>&1 &
disown $!
E2E_PIDS+=($!)

open_calibration() { # leaves the calibration screen's window in CALI
    start_kelvane
    START=$(wait_window Kelvane) || fail "start screen did not appear"
    # "Calibrate" is the button before "Start" in the focus order.
    send_keys "$START" shift+Tab Return
    CALI=$(wait_window Form2) || fail "\"Calibrate\" did not open the calibration screen"
    settled_shot "$1"
}

# On the whole 1024 x 768 screen the buttons stand where the design puts them, below the
# instruction picture that keeps its 355 pixels: the pictures of both buttons, "Done" with the
# focus, are cut from there.
write_settings
open_calibration full
buttons_top=$(($(px 2880) + 355 + $(px 60) + $(px 8280) - $(px 7200)))
convert "$SHOTS/full.png" -crop "$(px 1572)x$(px 492)+$(px 8280)+$buttons_top" +repage "$SHOTS/done.png"
convert "$SHOTS/full.png" -crop "$(px 1572)x$(px 492)+$(px 4200)+$buttons_top" +repage "$SHOTS/cancel.png"
[[ $(find_picture full "$SHOTS/done.png" 1024x768+0+0) == "$(px 8280) $buttons_top" ]] ||
    fail "the button pictures cannot be found again"

# The focus on the across bar, then on the down bar: each bar looks different with the focus.
# "Done", "Cancel" (Xvfb's monitor reports no size of its own: no monitor's-size button), then
# each axis's length, bar and value.
send_keys "$CALI" Tab Tab Tab
settled_shot across
send_keys "$CALI" Tab Tab Tab
settled_shot down
hbar=$(grow "$(box 5160 1920 492 612)" 4) vbar=$(grow "$(box 2040 5040 732 492)" 4)
for bar in "$hbar" "$vbar"; do
    convert "$SHOTS/across.png" -crop "$bar" +repage "$SHOTS/a.png"
    convert "$SHOTS/down.png" -crop "$bar" +repage "$SHOTS/d.png"
    same "$SHOTS/a.png" "$SHOTS/d.png" &&
        fail "the step bar at $bar looks the same with the focus and without"
done
echo "ok: a step bar with the focus looks different from one without"
send_keys "$CALI" Escape Tab Tab Tab Return # Esc does nothing here; the value, "Done", "Cancel"
START=$(wait_window Kelvane) || fail "\"Cancel\" did not bring back the start screen"
send_keys "$START" Escape
wait_exit "$KELVANE_PID"

for size in 800x600 1024x600; do
    w=${size%x*} h=${size#*x}
    # The 1024 x 600 monitor reports what 96 dpi makes up, a size nobody believes; the 800 x 600
    # one a 10-inch panel's own 200 x 150 mm.
    mm="$((w * 254 / 960))x$h/$((h * 254 / 960))"
    [[ $w == 800 ]] && mm="200x$h/150"
    xrandr --setmonitor "*Low$w" "$w/$mm+0+0" screen >/dev/null
    [[ $(xrandr --listmonitors | grep -c '^ [0-9]') == 1 ]] || fail "monitor $size was not set up"

    # "Done" after three presses on the across bar's right arrow (and one on the down bar's, so
    # that neither mark stands where the screen opened it) stores 503, or on 800 x 600, where
    # the monitor's 200 mm make 600 per 150 mm and 150 mm across do not fit with 5 % to spare,
    # so that the mark is set at 100 mm (500 stands at 333 pixels), three steps of 1.5: 504.
    stored=503
    [[ $w == 800 ]] && stored=504
    write_settings
    open_calibration "low$w"
    done_at=$(find_picture "low$w" "$SHOTS/done.png" "${size}+0+0")
    [[ -n $done_at ]] || fail "on $size \"Done\" is not whole on the screen"
    xdotool mousemove --window "$CALI" $(($(px 5160) + $(px 492) * 3 / 4)) $(($(px 1920) + $(px 612) / 2)) \
        click --repeat 3 --delay 150 1
    xdotool mousemove --window "$CALI" $(($(px 2040) + $(px 732) / 2)) $(($(px 5040) + $(px 492) * 3 / 4)) \
        click 1
    read -r x y <<<"$done_at"
    xdotool mousemove $((x + $(px 1572) / 2)) $((y + $(px 492) / 2)) click 1
    START=$(wait_window Kelvane) || fail "on $size a click on \"Done\" did not bring back the start screen"
    grep -q "^SCREENH= $stored\$" "$SETTINGS" || fail "on $size \"Done\" did not store $stored: $(cat "$SETTINGS")"
    send_keys "$START" Escape
    wait_exit "$KELVANE_PID"

    # "Cancel" stores nothing.
    write_settings
    open_calibration "low$w"
    cancel_at=$(find_picture "low$w" "$SHOTS/cancel.png" "${size}+0+0")
    [[ -n $cancel_at ]] || fail "on $size \"Cancel\" is not whole on the screen"
    before=$(md5sum <"$SETTINGS")
    xdotool mousemove --window "$CALI" $(($(px 5160) + $(px 492) * 3 / 4)) $(($(px 1920) + $(px 612) / 2)) \
        click --repeat 3 --delay 150 1
    read -r x y <<<"$cancel_at"
    xdotool mousemove $((x + $(px 1572) / 2)) $((y + $(px 492) / 2)) click 1
    START=$(wait_window Kelvane) || fail "on $size a click on \"Cancel\" did not bring back the start screen"
    [[ $(md5sum <"$SETTINGS") == "$before" ]] || fail "on $size \"Cancel\" changed the file"
    send_keys "$START" Escape
    wait_exit "$KELVANE_PID"
    xrandr --delmonitor "Low$w" >/dev/null
    echo "ok: on $size \"Done\" and \"Cancel\" stand whole on the screen and work with the mouse"
done
