#!/usr/bin/env bash
# The settings file is always the one beside the running executable, whatever bytes the folder's
# name holds, and no other file is ever read or written: not after the folder is moved or
# removed while the program runs, and not when there is no display to run on.
source "$KELVANE_TESTS/e2e_lib.sh"

[[ ! -e /Kelvane.ini ]] || fail "a /Kelvane.ini is in the way of this test"
no_stray_file() { [[ ! -e /Kelvane.ini ]] || { rm -f /Kelvane.ini; fail "$1 wrote /Kelvane.ini"; }; }

# Copies the program into a folder of its own and starts it there; its pid is in KELVANE_PID.
start_in() { # start_in <folder>
    mkdir -p "$1"
    cp "$KELVANE" "$1/kelvane"
    "$1/kelvane" &
    KELVANE_PID=$!
    E2E_PIDS+=("$KELVANE_PID")
}

CALIBRATED='[Filter]
FILTER= 4
TARGET= 3
FIXEYE= 1
[Screen]
SCREENH= 567
SCREENV= 432'

# A folder whose name is not valid UTF-8 (a Latin-1 u-umlaut): the file in it is read and saved.
latin1=$E2E_WORK/$'Praxis_M\xfcller'
mkdir "$latin1"
printf '%s\n' "$CALIBRATED" >"$latin1/Kelvane.ini"
start_in "$latin1"
window=$(wait_window Kelvane) || fail "no start screen from the Latin-1 folder"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
expect_file "$latin1/Kelvane.ini" "$CALIBRATED"
no_stray_file "the program in a Latin-1 folder"
echo "ok: a folder name in Latin-1 keeps its calibration (read and saved in place)"

# The folder moved while the program runs: the settings go with the executable.
moving=$E2E_WORK/clinic
start_in "$moving"
window=$(wait_window Kelvane) || fail "no start screen before the move"
mv "$moving" "$moving-new"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
expect_file "$moving-new/Kelvane.ini" "$DEFAULT_SETTINGS"
[[ ! -e $moving ]] || fail "the old folder came back"
no_stray_file "the program in a moved folder"
echo "ok: a folder moved while the program ran got the settings"

# The folder removed while the program runs: the save has nowhere to go and goes nowhere. The
# program says so and asks; Enter stays, and leaving without saving takes a choice of its own.
doomed=$E2E_WORK/doomed
start_in "$doomed"
window=$(wait_window Kelvane) || fail "no start screen before the removal"
rm -rf "$doomed"
send_keys "$window" Escape
box=$(wait_window 'Settings not saved') || fail "a save into a removed folder was not reported"
send_keys "$box" Return
kill -0 "$KELVANE_PID" 2>/dev/null || fail "Enter on the report of a failed save ended the program"
window=$(wait_window Kelvane) || fail "the start screen is gone after staying"
send_keys "$window" Escape
box=$(wait_window 'Settings not saved') || fail "the second failed save was not reported"
send_keys "$box" alt+e
wait_exit "$KELVANE_PID"
[[ ! -e $doomed ]] || fail "the removed folder came back"
no_stray_file "the program in a removed folder"
echo "ok: a folder removed while the program ran got nothing, no other folder did, and the user was told"

# A save cut short by a crash left its temporary file: the next start that holds the instance
# guard removes it, and nothing else of the folder.
printf '%s\n' "$DEFAULT_SETTINGS" >"$SETTINGS"
printf 'half a save' >"$SETTINGS.saving.Xy12Ab"
printf 'mine' >"$SETTINGS.saving.notes"
start_kelvane
window=$(wait_window Kelvane) || fail "no start screen over a leftover"
[[ ! -e $SETTINGS.saving.Xy12Ab ]] || fail "the leftover of a save is still there"
[[ -e $SETTINGS.saving.notes ]] || fail "a file not of the program's own pattern was removed"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
echo "ok: a start removes what a save cut short left behind, and only that"

# DISPLAY naming no X server: one line, status 1, nothing written.
rm -f "$SETTINGS"
set +e
message=$(DISPLAY=:4711 "$KELVANE" 2>&1)
status=$?
set -e
[[ $status -eq 1 ]] || fail "exit status $status without an X server"
[[ $(printf '%s\n' "$message" | wc -l) -eq 1 && $message == *":4711"* ]] ||
    fail "without an X server the program said: $message"
[[ ! -e $SETTINGS ]] || fail "the program wrote its settings without a display"
echo "ok: a display without a server gives one line and status 1"
