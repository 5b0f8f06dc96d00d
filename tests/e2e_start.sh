#!/usr/bin/env bash
# The real program at start-up: first start without settings, the one-instance rule, and a
# start after a crash.
source "$KELVANE_TESTS/e2e_lib.sh"

# No settings file: the start screen comes up; Esc saves the five values and ends the program.
start_kelvane
window=$(wait_window Kelvane) || fail "start screen did not appear"
[[ ! -e $SETTINGS ]] || fail "showing the start screen wrote the settings file"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
expect_file "$SETTINGS" "$DEFAULT_SETTINGS"
echo "ok: Esc saved the five values and ended the program"

# A second instance beside a running one ends at once, without a window and without
# touching the file.
printf '[Filter]\r\nFILTER= 3\r\n' >"$SETTINGS"
before=$(md5sum <"$SETTINGS")
start_kelvane
first=$KELVANE_PID
wait_window Kelvane >/dev/null || fail "first instance shows no window"
start_kelvane
second=$KELVANE_PID
wait_exit "$second"
windows=$(xdotool search --onlyvisible --name '^Kelvane$' | wc -l)
[[ $windows -eq 1 ]] || fail "$windows start screens with two instances started"
[[ $(md5sum <"$SETTINGS") == "$before" ]] || fail "the second instance touched the settings file"
kill -0 "$first" || fail "the first instance ended"
echo "ok: a second instance ended without a window and without touching the file"

# A crashed instance does not block the next start.
kill -9 "$first"
wait_exit "$first"
start_kelvane
window=$(wait_window Kelvane) || fail "no start screen after a crashed instance"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
grep -q '^FILTER= 3' "$SETTINGS" || fail "the hand-made setting was lost"
echo "ok: a SIGKILLed instance did not block the next start"
