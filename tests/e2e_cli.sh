#!/usr/bin/env bash
# The command line: --help and --version answer on the terminal and end the program before
# anything else happens; anything else given is refused in one line with exit code 2.
source "$KELVANE_TESTS/e2e_lib.sh"

VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$(dirname "$1")/CMakeCache.txt")
[[ -n $VERSION ]] || fail "no project version in the build's cache"

run() { # run <args...>: exit code in RC, output in OUT and ERR; never waits for a window
    RC=0
    timeout 10 "$KELVANE" "$@" >"$E2E_WORK/out" 2>"$E2E_WORK/err" || RC=$?
    OUT=$(cat "$E2E_WORK/out")
    ERR=$(cat "$E2E_WORK/err")
}

# Nothing of the start-up may have happened: no settings file, no instance guard, no window.
untouched() { # untouched <what was run>
    [[ ! -e $SETTINGS ]] || fail "$1 wrote $SETTINGS"
    [[ -z $(ls -A "$XDG_RUNTIME_DIR") ]] || fail "$1 took the instance guard: $(ls -A "$XDG_RUNTIME_DIR")"
    [[ -z $(xdotool search --name 'Kelvane' 2>/dev/null) ]] || fail "$1 left a window"
}

for option in --help -h; do
    run "$option"
    [[ $RC -eq 0 && -z $ERR ]] || fail "$option: exit $RC, stderr: $ERR"
    { grep -q -- '--version' <<<"$OUT" && grep -q 'Kelvane.ini' <<<"$OUT"; } ||
        fail "$option printed no help: $OUT"
    # A build without a settings folder of its own keeps the file beside the real executable.
    grep -qF "$SETTINGS;" <<<"$OUT" || fail "$option does not say that the settings are in $SETTINGS: $OUT"
    untouched "$option"
done
for option in --version -v; do
    run "$option"
    [[ $RC -eq 0 && -z $ERR && $OUT == "kelvane $VERSION" ]] ||
        fail "$option: exit $RC, output '$OUT', stderr '$ERR'; expected 'kelvane $VERSION'"
    untouched "$option"
done
# Without any display at all, as from a text console or over ssh.
RC=0
OUT=$(env -u DISPLAY -u WAYLAND_DISPLAY "$KELVANE" --version 2>&1) || RC=$?
[[ $RC -eq 0 && $OUT == "kelvane $VERSION" ]] || fail "--version without a display: exit $RC, $OUT"
untouched "--version without a display"
echo "ok: --help and --version print and end, without a display, settings or window"

# Qt's own options (-platform, --help-all) are not the program's either.
for args in --bogus -x '-platform offscreen' --help-all --version=3 'settings.ini' '--help extra'; do
    # shellcheck disable=SC2086 # each row is split into its arguments
    run $args
    [[ $RC -eq 2 ]] || fail "'$args': exit $RC, expected 2"
    [[ -z $OUT ]] || fail "'$args' printed to stdout: $OUT"
    [[ $(wc -l <"$E2E_WORK/err") -eq 1 && $ERR == "kelvane: "* ]] ||
        fail "'$args': stderr is not one line naming the program: $ERR"
    untouched "'$args'"
done
echo "ok: unknown options and arguments end with one line on stderr and exit 2"
