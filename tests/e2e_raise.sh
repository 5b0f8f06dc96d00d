#!/usr/bin/env bash
# A second start by the same user shows the running program: its current window, minimised
# before, comes back in its place and takes the keyboard, while the second start ends at once
# with status 0, without a window and without touching the settings file. Also after an
# instance was killed (its socket left behind), and for the full-screen measurement screen. A
# running program that does not answer leaves the second start ending all the same.
#
# Minimising needs a window manager: openbox runs on the test's X server, after a first case
# without one (the window covered by another is raised all the same).
source "$KELVANE_TESTS/e2e_lib.sh"

printf '%s\n; kept by hand\n' "$DEFAULT_SETTINGS" >"$SETTINGS"
topmost() { xwininfo -root -children | grep -oE '"(Kelvane|cover)"' | head -n1; }

start_kelvane
wait_window Kelvane >/dev/null || fail "the start screen did not appear"
xmessage -geometry 1024x768+0+0 -title cover cover &
E2E_PIDS+=($!)
wait_window cover >/dev/null || fail "the covering window did not appear"
[[ $(topmost) == '"cover"' ]] || fail "the covering window is not on top"
file=$(md5sum <"$SETTINGS")
"$KELVANE" || fail "the second start ended with $?"
for ((i = 0; i < 200; i++)); do
    [[ $(topmost) == '"Kelvane"' ]] && break
    sleep 0.05
done
((i < 200)) || fail "without a window manager, the start screen stayed under the covering window"
[[ $(md5sum <"$SETTINGS") == "$file" ]] || fail "the second start touched the settings file"
kill "${E2E_PIDS[-1]}"
echo "ok: without a window manager, a second start raised the covered start screen"

# An instance killed outright leaves its socket behind; the next instance listens all the same.
kill -9 "$KELVANE_PID"
wait_exit "$KELVANE_PID"
[[ -S $XDG_RUNTIME_DIR/kelvane.raise ]] || fail "no socket left by the killed instance"

openbox --sm-disable --config-file /dev/null >/dev/null 2>&1 &
E2E_PIDS+=($!)
for ((i = 0; i < 200; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
((i < 200)) || fail "openbox did not start"

wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
place() { xdotool getwindowgeometry "$1" | sed -n 's/^ *\(Position\|Geometry\): //p' | xargs; }

# Minimises the window, starts the program again, and checks that the window came back as it
# was and has the keyboard, and that the second start changed nothing.
second_start_shows() { # second_start_shows <window> <what it is>
    local window=$1 what=$2 before file i status=0
    before=$(place "$window")
    file=$(md5sum <"$SETTINGS")
    xdotool windowminimize --sync "$window"
    for ((i = 0; i < 200; i++)); do
        [[ $(wm_state "$window") == Iconic ]] && break
        sleep 0.05
    done
    ((i < 200)) || fail "$what was not minimised"
    "$KELVANE" || status=$?
    ((status == 0)) || fail "the second start ended with $status"
    for ((i = 0; i < 200; i++)); do
        [[ $(wm_state "$window") == Normal && $(xdotool getwindowfocus) == "$window" &&
            $(xdotool getactivewindow 2>/dev/null) == "$window" &&
            $(place "$window") == "$before" ]] && break
        sleep 0.05
    done
    ((i < 200)) || fail "$what is $(wm_state "$window") at $(place "$window") (was $before), the" \
        "keyboard is with $(xdotool getwindowfocus)"
    [[ $(md5sum <"$SETTINGS") == "$file" ]] || fail "the second start touched the settings file"
    [[ $(xdotool search --onlyvisible --name '^(Kelvane|Form1|FrmCali)$' | wc -l) -eq 1 ]] ||
        fail "more than one window after the second start"
}

start_kelvane
start=$(wait_window Kelvane) || fail "the start screen did not appear after a killed instance"
second_start_shows "$start" "the start screen"
echo "ok: a second start brought back the minimised start screen, maximized as before"

# Behind another program's window, which has the keyboard.
xmessage -geometry 600x400+100+100 -title cover cover &
E2E_PIDS+=($!)
cover=$(wait_window cover) || fail "the covering window did not appear"
xdotool windowactivate --sync "$cover"
"$KELVANE" || fail "the second start ended with $?"
for ((i = 0; i < 200; i++)); do
    [[ $(xdotool getactivewindow 2>/dev/null) == "$start" ]] && break
    sleep 0.05
done
((i < 200)) || fail "the start screen behind another window was not activated"
echo "ok: a second start brought the start screen before another program's window"

send_keys "$start" space
form1=$(wait_window Form1) || fail "the measurement screen did not appear"
[[ $(place "$form1") == "0,0 (screen: 0) 1024x768" ]] ||
    fail "the measurement screen does not cover the screen: $(place "$form1")"
second_start_shows "$form1" "the measurement screen"
echo "ok: a second start brought back the minimised measurement screen over the whole screen"

# A program that cannot answer: the second start waits a moment and ends as before.
kill -STOP "$KELVANE_PID"
"$KELVANE" &
second=$!
wait_exit "$second"
wait "$second" 2>/dev/null || fail "the second start beside a stopped program ended with $?"
kill -CONT "$KELVANE_PID"
send_keys "$form1" Escape
start=$(wait_window Kelvane) || fail "the program did not go on after the unanswered call"
echo "ok: beside a program that does not answer, the second start ended with status 0"

send_keys "$start" Escape
wait_exit "$KELVANE_PID"
