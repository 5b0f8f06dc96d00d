#!/usr/bin/env bash
# Wayland: Weston with its desktop shell and panel, drawn into a window of the test's X server
# (Weston's X11 back end) so that X input reaches it. The program runs as a Wayland client: the
# measurement screen asks for an xdg-shell full-screen surface, covers Weston's whole output,
# panel included, shows the ring where the full screen puts it and reads a click as without a
# desktop; Esc brings back the start screen with the keyboard.
source "$KELVANE_TESTS/e2e_lib.sh"
source "$KELVANE_TESTS/e2e_desktop.sh"

# 68 pixels right of and 68 below the reference point: BL: 3.4, BU: 3.4.
click_x=$((REF_X + 68)) click_y=$((REF_Y + 68))
measure_without_desktop bare $click_x $click_y

desktop_start weston --backend=x11-backend.so --use-pixman --width="$SCREEN_W" --height="$SCREEN_H" \
    --socket=kelvane-test
for ((i = 0; i < 200; i++)); do
    [[ -S $XDG_RUNTIME_DIR/kelvane-test ]] && [[ $(xwininfo -root -children) == *'"Weston Compositor'* ]] &&
        break
    sleep 0.05
done
((i < 200)) || desktop_fail "Weston did not come up"

# Weston's output as a shot, and the pixel colour of a place in it.
ring_box() { convert "$SHOTS/$1.png" -fill black +opaque '#0000FF' -trim -format '%wx%h%O' info: 2>/dev/null; }
pixel() { convert "$SHOTS/$1.png" -crop "1x1+$2+$3" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'; }

write_settings
WAYLAND_DEBUG=client WAYLAND_DISPLAY=kelvane-test QT_QPA_PLATFORM=wayland "$KELVANE" 2>"$E2E_WORK/wayland.log" &
KELVANE_PID=$!
E2E_PIDS+=("$KELVANE_PID")
# The start screen shows the desktop's grey; "Start" has the focus.
for ((i = 0; i < 200; i++)); do
    shot start
    [[ $(pixel start $((SCREEN_W / 2)) $((SCREEN_H - 100))) == '#808080' ]] && break
    sleep 0.05
done
((i < 200)) || fail "the start screen did not appear on Weston"
xdotool mousemove $((SCREEN_W - 1)) $((SCREEN_H - 1)) key Return
for ((i = 0; i < 200; i++)); do
    shot opened
    [[ $(ring_box opened) == 43x43* ]] && break
    sleep 0.05
done
((i < 200)) || fail "\"Start\" did not open the measurement screen on Weston"
grep -q 'xdg_toplevel@[0-9]*\.set_fullscreen(' "$E2E_WORK/wayland.log" ||
    fail "the measurement screen did not ask Weston for a full-screen surface"
ring=$(ring_box opened)
[[ $ring == "$RING" ]] || fail "on Weston the ring stands at $ring, not $RING"
echo "ok: on Weston the measurement screen is a full-screen surface with the ring at $RING"

# Weston draws the pointer into its output: the red cross stands in its 32 x 32 image from one
# pixel above and left of the hot spot, and is left out of the comparison. Weston takes the
# pointer from the X server's motion events and, on a busy machine, has been seen to keep it in
# its corner after a move; so the test moves until Weston shows the cross there, then clicks.
pointer_at() { # pointer_at <x> <y>
    local i popup
    for ((i = 0; i < 50; i++)); do
        if ((i > 0 && i % 5 == 0)); then
            # Weston's window covers the screen, so the pointer cannot leave it and come back:
            # a small window shown under the pointer and closed again makes it enter anew.
            xmessage -geometry "40x20+$(($1 - 20))+$(($2 - 10))" ' ' >/dev/null 2>&1 &
            popup=$!
            echo "note: Weston did not follow the pointer; making it enter again" >&2
            sleep 0.3
            kill "$popup" 2>/dev/null || true
            wait "$popup" 2>/dev/null || true
        fi
        xdotool mousemove $(($1 - 1)) "$2" sleep 0.05 mousemove "$1" "$2" sleep 0.1
        shot pointer
        (($(convert "$SHOTS/pointer.png" -crop "34x34+$(($1 - 2))+$(($2 - 2))" +repage \
            -fill white -opaque '#990000' -fill black +opaque white -colorspace gray \
            -format '%[fx:int(mean*w*h+0.5)]' info:) > 0)) && return 0
    done
    cp "$SHOTS/pointer.png" "${TMPDIR:-/tmp}/kelvane-weston-pointer.png" 2>/dev/null || true
    fail "Weston does not show the pointer at ($1, $2)"
}
pointer_at $click_x $click_y
click_results weston $click_x $click_y
pointer="64x64+$((click_x - 32))+$((click_y - 32))"
stray=$(stray_pixels weston "$RING" "$(results_box bare)" "$pointer")
[[ $stray == "0 "* ]] || fail "on Weston the measurement screen shows more than the ring and the results: $stray"
for name in weston bare; do
    convert "$SHOTS/$name.png" -fill black -draw "rectangle $((click_x - 32)),$((click_y - 32)) $((click_x + 31)),$((click_y + 31))" \
        "$SHOTS/$name-nopointer.png"
done
same "$SHOTS/weston-nopointer.png" "$SHOTS/bare-nopointer.png" ||
    fail "on Weston the measurement screen after a click differs from the one without a desktop"
echo "ok: on Weston only the ring and the results show, and a click reads as without a desktop"

# Esc brings back the start screen, and the next key reaches it: its Esc asks before the result
# goes, and Alt+X ("Exit and discard the results") ends the program.
xdotool key Escape
for ((i = 0; i < 200; i++)); do
    shot back
    [[ $(pixel back $((SCREEN_W / 2)) $((SCREEN_H - 100))) == '#808080' ]] && break
    sleep 0.05
done
((i < 200)) || fail "Esc did not bring back the start screen on Weston"
xdotool key Escape
for ((i = 0; i < 100; i++)); do
    xdotool key alt+x
    kill -0 "$KELVANE_PID" 2>/dev/null || break
    sleep 0.1
done
wait_exit "$KELVANE_PID"
echo "ok: Esc brought back the start screen on Weston with the keyboard"
