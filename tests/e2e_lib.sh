# Shared steps of the end-to-end tests: the real program in a folder of its own (its settings
# file lives beside the executable), on the Xvfb display that xvfb-run gives the test.
set -euo pipefail

E2E_WORK=$(mktemp -d)
E2E_PIDS=()
e2e_cleanup() {
    local pid
    for pid in "${E2E_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$E2E_WORK"
}
trap e2e_cleanup EXIT

# A runtime folder of the test's own, so that tests running side by side never see each
# other's program as "another instance".
export XDG_RUNTIME_DIR=$E2E_WORK/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

KELVANE=$E2E_WORK/program/kelvane
SETTINGS=$E2E_WORK/program/Kelvane.ini
mkdir -p "$E2E_WORK/program"
cp "$1" "$KELVANE"

# Screenshots of the whole screen (the pointer is not in them), in a folder of the test's own.
SHOTS=$E2E_WORK/shots
mkdir -p "$SHOTS"
shot() { import -window root "$SHOTS/$1.png"; }
same() { [[ $(compare -metric AE "$1" "$2" null: 2>&1) == 0 ]]; }

# Takes shots until two in a row are alike: the windows have finished drawing.
settled_shot() {
    local name=$1 i
    shot "$name"
    for ((i = 0; i < 100; i++)); do
        sleep 0.05
        shot "$name-next"
        same "$SHOTS/$name.png" "$SHOTS/$name-next.png" && return 0
        mv "$SHOTS/$name-next.png" "$SHOTS/$name.png"
    done
    fail "the screen did not settle for $name"
}

# A pixel of a shot as "r,g,b", 0 to 255.
rgb() { # rgb <shot> <x> <y>
    convert "$SHOTS/$1.png" -format \
        "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

# Waits (up to 10 s) until a Hess ring of this colour (red or blue, as the filter glasses pass
# it) stands with its top left corner here: its top pixel, 21 right of the corner.
wait_ring_at() { # wait_ring_at <x> <y> <red|blue>
    local i r g b
    for ((i = 0; i < 200; i++)); do
        shot ring
        IFS=, read -r r g b <<<"$(rgb ring $(($1 + 21)) "$2")"
        if [[ $3 == red ]]; then ((r > 100 && b < 50)) && return 0; else ((b > 100 && r < 50)) && return 0; fi
        sleep 0.05
    done
    fail "no $3 ring with its corner at ($1, $2)"
}

# Reads the clipboard as the given type, waiting (up to 10 s) until it holds something.
clipboard() {
    local i text
    for ((i = 0; i < 200; i++)); do
        text=$(xclip -o -selection clipboard -t "$1" 2>/dev/null) && [[ -n $text ]] && {
            printf '%s\n' "$text"
            return 0
        }
        sleep 0.05
    done
    return 1
}

fail() {
    echo "FAIL: $*" >&2
    import -window root "$E2E_WORK/failure.png" 2>/dev/null &&
        cp "$E2E_WORK/failure.png" "${TMPDIR:-/tmp}/kelvane-e2e-failure.png" || true
    exit 1
}

# Starts the program in the background; its pid is in KELVANE_PID.
start_kelvane() {
    "$KELVANE" &
    KELVANE_PID=$!
    E2E_PIDS+=("$KELVANE_PID")
}

# Waits (up to 10 s) until a visible window with exactly this title exists; prints its id.
wait_window() {
    local title=$1 i id
    for ((i = 0; i < 200; i++)); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1 || true)
        if [[ -n $id ]]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# Waits (up to 10 s) until no visible window has this title; returns 1 if one still does.
wait_no_window() {
    local title=$1 i
    for ((i = 0; i < 200; i++)); do
        [[ -z $(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null || true) ]] && return 0
        sleep 0.05
    done
    return 1
}

# Waits (up to 10 s) until the process has ended; fails the test otherwise.
wait_exit() {
    local pid=$1 i
    for ((i = 0; i < 200; i++)); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
        sleep 0.05
    done
    fail "process $pid did not end"
}

# Gives the window the keyboard and types the given keys into it.
send_keys() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    xdotool key --delay 50 "$@"
}

expect_file() { # expect_file <path> <expected content>
    local actual
    actual=$(cat "$1" 2>/dev/null) || fail "no file $1"
    [[ $actual == "$2" ]] || fail "$1 holds:
$actual
expected:
$2"
}

DEFAULT_SETTINGS='[Filter]
FILTER= 1
TARGET= 1
FIXEYE= 2
[Screen]
SCREENH= 500
SCREENV= 500'

# Waits (up to 10 s) for a visible window of the process with exactly this title; prints its
# id. Returns 1 at once when the process has ended.
pid_window() { # pid_window <pid> <title>
    local i id
    for ((i = 0; i < 200; i++)); do
        id=$(xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -n1 || true)
        if [[ -n $id ]]; then
            echo "$id"
            return 0
        fi
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Waits (up to 10 s, or the seconds given) until the process has ended with this status; fails
# the test otherwise, naming what ended.
ended_with() { # ended_with <status> <pid> <what> [seconds]
    local i status=0
    for ((i = 0; i < ${4:-10} * 20; i++)); do
        kill -0 "$2" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$2" 2>/dev/null && fail "$3: the program did not end"
    wait "$2" || status=$?
    [[ $status == "$1" ]] || fail "$3: the program ended with status $status"
}

# Presses Return on a dialog until the process that shows it has ended, for at most 10 s: the
# dialog takes the keyboard once it is shown, and Return presses its button.
press_until_gone() { # press_until_gone <window> <pid>
    local i j
    for ((i = 0; i < 20; i++)); do
        send_keys "$1" Return 2>/dev/null || true
        for ((j = 0; j < 10; j++)); do
            kill -0 "$2" 2>/dev/null || return 0
            sleep 0.05
        done
    done
}

# Esc on the start screen while the visit holds results nobody copied, saved or printed: the
# program asks first, and "Exit and discard the results" (Alt+X) ends it.
exit_discarding() { # exit_discarding <start screen> <pid>
    local question
    send_keys "$1" Escape
    question=$(wait_window 'Results not saved') || fail "Esc on the start screen did not ask about the results"
    send_keys "$question" alt+x
    wait_exit "$2"
}
