#!/usr/bin/env bash
# Two instances started at the same moment: exactly one runs, the other ends without a window
# and without touching the settings file. And an instance killed at any moment of its start,
# or while it runs, never blocks the next start.
#
# KELVANE_RACE_ROUNDS and KELVANE_KILL_STARTS set the counts (100 and 20 by default).
source "$KELVANE_TESTS/e2e_lib.sh"

ROUNDS=${KELVANE_RACE_ROUNDS:-100}
KILL_STARTS=${KELVANE_KILL_STARTS:-20}

printf '%s\n; kept by hand\n' "$DEFAULT_SETTINGS" >"$SETTINGS"
settings_before=$(md5sum <"$SETTINGS")

# The visible start screens of one process. Without --all, xdotool matches a window that meets
# either condition, so a start screen of the other instance (or a made-up pid) would count.
windows_of() {
    xdotool search --all --onlyvisible --pid "$1" --name '^Kelvane$' 2>/dev/null | wc -l
}

# Waits (up to 10 s) until the process shows its start screen.
wait_window_of() {
    local pid=$1 i
    for ((i = 0; i < 200; i++)); do
        [[ $(windows_of "$pid") -ge 1 ]] && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# An X server resets when its last client leaves, and a program that connects in that moment is
# refused (xcb reports a connection error, and Qt gives up). The tests' servers run with
# -noreset, which ends that; should a start still be refused, it says nothing about the instance
# guard (taken only after the display connection), so it is counted and done again.
display_refused() {
    grep -q 'could not connect to display' "$1" 2>/dev/null
}
refusals=0
refused_again() {
    refusals=$((refusals + 1))
    ((refusals <= 10 + (ROUNDS + 2 * KILL_STARTS) / 10)) ||
        fail "the display refused $refusals connections"
}

# Whether a process is held in opening the gate (a named pipe without a writer yet).
held_at_gate() {
    [[ $(cat "/proc/$1/wchan" 2>/dev/null) == wait_for_partner ]] && echo yes || echo no
}

# Ends a process with SIGKILL and waits for it.
kill_now() {
    kill -9 "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

gate=$E2E_WORK/gate
first_won=0
round=0
while ((round < ROUNDS)); do
    round=$((round + 1))
    # A runtime folder of this round's own, shared by the pair: the guard starts free.
    export XDG_RUNTIME_DIR=$E2E_WORK/runtime-$round
    mkdir -m 700 "$XDG_RUNTIME_DIR"

    # Both wait behind a named pipe, held in opening it until it has a writer; once both are
    # held, opening it for writing lets both go at the same moment. The writer stays open for
    # the round, so that neither can be left behind.
    rm -f "$gate"
    mkfifo "$gate"
    { : <"$gate" && exec "$KELVANE" 2>"$E2E_WORK/stderr-$round-1"; } &
    one=$!
    { : <"$gate" && exec "$KELVANE" 2>"$E2E_WORK/stderr-$round-2"; } &
    two=$!
    E2E_PIDS+=("$one" "$two")
    for ((i = 0; i < 100; i++)); do
        [[ $(held_at_gate "$one") == yes && $(held_at_gate "$two") == yes ]] && break
        sleep 0.01
    done
    exec {gate_fd}>"$gate"

    # One of the two ends by itself, at once and quietly; the other runs and shows its window.
    winner='' loser='' status=''
    for ((i = 0; i < 200; i++)); do
        if ! kill -0 "$one" 2>/dev/null; then
            loser=$one winner=$two loser_err=$E2E_WORK/stderr-$round-1
        elif ! kill -0 "$two" 2>/dev/null; then
            loser=$two winner=$one loser_err=$E2E_WORK/stderr-$round-2
        fi
        [[ -n $loser ]] && break
        sleep 0.05
    done
    exec {gate_fd}>&-
    [[ -n $loser ]] || fail "round $round: both instances still run after 10 s"
    wait "$loser" && status=0 || status=$?
    if [[ $status -ne 0 ]] && display_refused "$loser_err"; then
        refused_again
        kill_now "$winner"
        rm -rf "$XDG_RUNTIME_DIR"
        round=$((round - 1))
        continue
    fi
    [[ $status -eq 0 ]] || fail "round $round: the second instance ended with status $status"
    wait_window_of "$winner" || fail "round $round: the instance that won shows no start screen"
    kill -0 "$winner" 2>/dev/null || fail "round $round: no instance runs"
    [[ $(windows_of "$winner") -eq 1 ]] || fail "round $round: $(windows_of "$winner") start screens"
    [[ $winner == "$one" ]] && first_won=$((first_won + 1))
    kill_now "$winner"
    rm -rf "$XDG_RUNTIME_DIR"
done
[[ $(md5sum <"$SETTINGS") == "$settings_before" ]] || fail "a racing instance touched the settings file"
echo "ok: $ROUNDS races of two instances started at once: exactly one ran each time" \
    "(the first started won $first_won, the second $((ROUNDS - first_won)))"

# One runtime folder for all starts now: the guard a killed instance held is the one the next
# start takes. Each round kills one instance at a random moment of its start (before, while or
# after it takes the guard), then starts another, which must come up, and kills that one while
# it runs.
export XDG_RUNTIME_DIR=$E2E_WORK/runtime-kills
mkdir -m 700 "$XDG_RUNTIME_DIR"
start_logged() {
    "$KELVANE" 2>"$E2E_WORK/stderr-kill" &
    KELVANE_PID=$!
    E2E_PIDS+=("$KELVANE_PID")
}
for ((round = 1; round <= KILL_STARTS; round++)); do
    start_logged
    sleep "$(printf '0.%03d' $((RANDOM % 400)))"
    kill_now "$KELVANE_PID"
    start_logged
    until wait_window_of "$KELVANE_PID"; do
        kill_now "$KELVANE_PID"
        display_refused "$E2E_WORK/stderr-kill" ||
            fail "kill $round: no start screen after a killed instance"
        refused_again
        start_logged
    done
    kill_now "$KELVANE_PID"
done
[[ $(md5sum <"$SETTINGS") == "$settings_before" ]] || fail "a killed instance touched the settings file"
echo "ok: $KILL_STARTS instances killed during their start and $KILL_STARTS killed while" \
    "running never blocked the next start"
echo "($refusals starts were refused by the display and done again)"
