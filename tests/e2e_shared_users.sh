#!/usr/bin/env bash
# A settings folder that its group may write (mode 2775) and everyone may enter, as a CMake
# install may leave it: while one member uses the program the other is turned away with a
# message naming them, and the file is untouched; the calibration the first one saves, with a
# strict umask, stays the group's to read and write. A user outside the group, who can reach the
# lock here, can neither hold it nor run the program from the folder. What members can do to
# each other through the lock is tried against the installed package (e2e_package.sh).
# Needs root (it makes the users); skipped otherwise.
source "$KELVANE_TESTS/e2e_lib.sh"

if [[ $(id -u) -ne 0 ]]; then
    echo "skipped: making two users needs root"
    exit 77
fi

tag=kv$$
group=$tag
alice=${tag}a
bob=${tag}b
groupadd "$group"
useradd -M -N -g "$group" -s /bin/sh "$alice"
useradd -M -N -g "$group" -s /bin/sh "$bob"
outsider=${tag}c
useradd -M -U -s /bin/sh "$outsider"
remove_users() {
    userdel "$alice" 2>/dev/null || true
    userdel "$bob" 2>/dev/null || true
    userdel "$outsider" 2>/dev/null || true
    groupdel "$outsider" 2>/dev/null || true
    groupdel "$group" 2>/dev/null || true
}
trap 'remove_users; e2e_cleanup' EXIT

# The install: a folder the group may write, reachable by everyone.
chmod 755 "$E2E_WORK"
chgrp "$group" "$E2E_WORK/program"
chmod 2775 "$E2E_WORK/program"
printf '%s\n' "$DEFAULT_SETTINGS" >"$SETTINGS"
chgrp "$group" "$SETTINGS"
chmod 664 "$SETTINGS"
xhost "+SI:localuser:$alice" "+SI:localuser:$bob" "+SI:localuser:$outsider" >/dev/null

# Runs the program as a user, with a runtime folder of that user's own and the given umask.
as_user() { # as_user <user> <umask> [log]
    local user=$1 runtime=$E2E_WORK/runtime-$1
    install -d -m 700 -o "$user" "$runtime"
    # setpriv execs the program itself, so that its process id is the program's. Without a
    # session bus Qt would start one through X, which would outlive the program.
    (umask "$2" && exec setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups env -i \
        DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$runtime" HOME="$runtime" USER="$user" \
        DBUS_SESSION_BUS_ADDRESS=disabled: "$KELVANE" 2>"${3:-/dev/null}") &
    KELVANE_PID=$!
    E2E_PIDS+=("$KELVANE_PID")
}

as_user "$alice" 077
first=$KELVANE_PID
window=$(wait_window Kelvane) || fail "no start screen for the first user"
before=$(md5sum <"$SETTINGS")

# Starts the program as a user who must be turned away: a message is shown, which Return
# dismisses, and the start ends with status 1. Its words are in $E2E_WORK/<user>.log.
turned_away() { # turned_away <user>
    local user=$1 second dialog= status i j
    as_user "$user" 022 "$E2E_WORK/$user.log"
    second=$KELVANE_PID
    for ((i = 0; i < 200; i++)); do
        dialog=$(xdotool search --all --onlyvisible --pid "$second" --name '^Kelvane$' 2>/dev/null | head -n1 || true)
        [[ -n $dialog ]] && break
        kill -0 "$second" 2>/dev/null || break
        sleep 0.05
    done
    [[ -n $dialog ]] || fail "$user was not told why the program did not start"
    press_until_gone "$dialog" "$second"
    set +e
    wait "$second"
    status=$?
    set -e
    [[ $status -eq 1 ]] || fail "$user's start ended with status $status"
}

turned_away "$bob"
grep -q "in use on this computer by $alice since " "$E2E_WORK/$bob.log" ||
    fail "the second user's message: $(cat "$E2E_WORK/$bob.log")"
[[ $(md5sum <"$SETTINGS") == "$before" ]] || fail "the second user's start touched the settings"
kill -0 "$first" || fail "the first user's program ended"
echo "ok: the second user was turned away with a message naming the first; the file is untouched"

# A user outside the group cannot open the lock, so cannot hold it against the group, and is
# told that the folder is not theirs.
lock=$E2E_WORK/program/Kelvane.lock
[[ $(stat -c '%a %G' "$lock") == "660 $group" ]] || fail "the lock is $(stat -c '%a %G' "$lock")"
if setpriv --reuid="$outsider" --regid="$outsider" --init-groups flock -n -s "$lock" true 2>/dev/null; then
    fail "a user outside the group could open the lock"
fi
turned_away "$outsider"
grep -q "not for this user: its lock file $lock" "$E2E_WORK/$outsider.log" ||
    fail "the outsider's message: $(cat "$E2E_WORK/$outsider.log")"
echo "ok: a user outside the group can neither hold the lock nor start the program"

# The first user saves with umask 077: the file stays the group's.
send_keys "$window" Escape
wait_exit "$first"
[[ $(stat -c '%a %G' "$SETTINGS") == "664 $group" ]] ||
    fail "after a save with umask 077 the file is $(stat -c '%a %G' "$SETTINGS")"
# Removed, then made anew by a save with umask 077: the group's as well.
rm -f "$SETTINGS"
as_user "$alice" 077
window=$(wait_window Kelvane) || fail "no start screen for the first user again"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
[[ $(stat -c '%A %G' "$SETTINGS") == -???rw????" $group" ]] ||
    fail "a file made with umask 077 is $(stat -c '%A %G' "$SETTINGS")"
echo "ok: saves with umask 077 keep the file group-readable and writable, in the folder's group"

# Now the second user gets the program, and the settings.
as_user "$bob" 022
window=$(wait_window Kelvane) || fail "no start screen for the second user once the first left"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
expect_file "$SETTINGS" "$DEFAULT_SETTINGS"
echo "ok: the second user runs the program once the first has left, and saves"
