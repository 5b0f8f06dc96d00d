#!/usr/bin/env bash
# The Debian package on this machine: built with CPack from a build that keeps the settings in
# /var/lib/kelvane, checked by lintian, installed with apt, the program started by a member of the
# group kelvane who saves the settings; what a second member, a user outside the group and an
# administrator can do to that member and to root through the shared folder, its lock and the
# raise socket; then removed and purged; an upgrade from the layout that kept the settings
# beside the program. It installs into /usr and creates users, so it runs as
# root only (as in CI) and leaves nothing behind. KELVANE_DEB_BUILD may name a build folder
# configured for the package (./dev package's build-deb) to save building the program again.
source "$KELVANE_TESTS/e2e_lib.sh"

BUILD=$(dirname "$1")
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
FOLDER=/usr/lib/kelvane
STATE=/var/lib/kelvane
APP=org.kelvane.Kelvane
SKIP=77

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: installing the package and creating users needs root (CI runs the tests as root)"
    exit $SKIP
fi
if dpkg-query -W kelvane >/dev/null 2>&1 || [[ -e $FOLDER || -e $STATE ]]; then
    echo "SKIP: Kelvane is already installed in $FOLDER on this machine; the test would replace it"
    exit $SKIP
fi

# Two members of the group and one user outside it, each with a home of their own. The first
# member's name looks like markup: whatever names the holder of the program is shown as typed.
MEMBER="<img src=/dev/zero>kv$$a"
SECOND=kv$$b
OUTSIDER=kv$$c
GROUP_EXISTED=false
getent group kelvane >/dev/null && GROUP_EXISTED=true
HARDLINKS=$(sysctl -n fs.protected_hardlinks)
SYMLINKS=$(sysctl -n fs.protected_symlinks)
# Another user's folder in /tmp, where a report may be sent through a planted link.
DROP=/tmp/kelvane-drop.$$
REPORT_ID=pt$$q # the patient's identifier typed for a report
# A file of root's alone, on the file system of the program's folder, that a member may name.
ROOT_ONLY=/usr/lib/kelvane-root-only.$$
package_cleanup() {
    set +e
    e2e_cleanup
    sysctl -qw fs.protected_hardlinks="$HARDLINKS"
    sysctl -qw fs.protected_symlinks="$SYMLINKS"
    rm -f "$ROOT_ONLY" /tmp/"Kelvane report kv$$"*.pdf
    rm -rf "$DROP"
    dpkg-query -W kelvane >/dev/null 2>&1 && dpkg --purge kelvane >/dev/null
    rm -rf "$FOLDER" "$STATE" # only when the purge itself failed
    dpkg-statoverride --list "$STATE" >/dev/null && dpkg-statoverride --remove "$STATE"
    rm -rf "/tmp/runtime-$SECOND"
    local user uid
    for user in "$MEMBER" "$SECOND" "$OUTSIDER"; do
        uid=$(id -u "$user" 2>/dev/null) || continue
        # Whatever still runs as a test's user (nothing should) would keep userdel from working.
        pkill -KILL -U "$uid" 2>/dev/null && sleep 0.2
        userdel -r "$user" 2>/dev/null
    done
    $GROUP_EXISTED || groupdel kelvane 2>/dev/null
}
trap package_cleanup EXIT
export DEBIAN_FRONTEND=noninteractive

# --- Build, check and install ----------------------------------------------------------------
DEB_BUILD=${KELVANE_DEB_BUILD:-$E2E_WORK/build}
if [[ -z ${KELVANE_DEB_BUILD:-} ]]; then
    cmake -S "$KELVANE_TESTS/.." -B "$DEB_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
        -DKELVANE_SETTINGS_DIR=$STATE >"$E2E_WORK/build.log" 2>&1 &&
        cmake --build "$DEB_BUILD" -j2 --target kelvane >>"$E2E_WORK/build.log" 2>&1 ||
        fail "building the program for the package failed: $(tail -n 30 "$E2E_WORK/build.log")"
fi
# The tests' own build keeps the settings beside the program: packing its program would make a
# package whose users cannot save.
if cpack -G DEB -B "$E2E_WORK/wrong" --config "$BUILD/CPackConfig.cmake" >"$E2E_WORK/cpack.log" 2>&1; then
    fail "cpack packed a program that keeps its settings beside itself"
fi
grep -q 'keeps the settings in /var/lib/kelvane' "$E2E_WORK/cpack.log" || fail "cpack did not say why: $(cat "$E2E_WORK/cpack.log")"
cpack -G DEB -B "$E2E_WORK/deb" --config "$DEB_BUILD/CPackConfig.cmake" >"$E2E_WORK/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$E2E_WORK/cpack.log")"
DEB=$(echo "$E2E_WORK"/deb/kelvane_*.deb)
[[ -f $DEB && $DEB == */kelvane_${VERSION}-1_*.deb ]] || fail "no package for version $VERSION-1: $DEB"
dpkg-deb -f "$DEB" Depends | grep -q 'libqt6widgets6' || fail "the package does not depend on Qt"
dpkg-deb -f "$DEB" Maintainer | grep -qx '.* <[^@]*@kelvane\.org>' || fail "maintainer: $(dpkg-deb -f "$DEB" Maintainer)"
# Every error and warning fails; the informational tags are shown as well, to be read.
lintian --display-info --fail-on error,warning "$DEB" >"$E2E_WORK/lintian.log" 2>&1 ||
    fail "lintian: $(cat "$E2E_WORK/lintian.log")"
! grep -q '^[EW]: ' "$E2E_WORK/lintian.log" || fail "lintian: $(cat "$E2E_WORK/lintian.log")"
echo "ok: lintian finds no error and no warning in the package; it says:"
sed 's/^/    /' "$E2E_WORK/lintian.log"
(cd "$E2E_WORK/deb" && apt-get install -y ./kelvane_*.deb) >"$E2E_WORK/apt.log" 2>&1 ||
    fail "apt-get install failed: $(cat "$E2E_WORK/apt.log")"

files=$(dpkg -L kelvane | while read -r path; do [[ -d $path && ! -L $path ]] || echo "$path"; done | sort)
# The program's own folder: the program and its print module, nothing else.
PROGRAM_FILES=$'kelvane\nkelvane-print.so'
expected="/usr/bin/kelvane
$FOLDER/kelvane
$FOLDER/kelvane-print.so
/usr/share/applications/$APP.desktop
/usr/share/doc/kelvane/changelog.Debian.gz
/usr/share/doc/kelvane/copyright
/usr/share/icons/hicolor/scalable/apps/$APP.svg
/usr/share/man/man1/kelvane.1.gz
/usr/share/metainfo/$APP.metainfo.xml"
[[ $files == "$expected" ]] || fail "the package installed
$files
expected
$expected"
[[ $(readlink /usr/bin/kelvane) == ../lib/kelvane/kelvane ]] || fail "/usr/bin/kelvane is not the link"
grep -qx "Exec=$FOLDER/kelvane" "/usr/share/applications/$APP.desktop" ||
    fail "the desktop entry does not start $FOLDER/kelvane"
kelvane --help | grep -qF "$STATE/Kelvane.ini;" || fail "kelvane --help does not name $STATE/Kelvane.ini: $(kelvane --help)"
# The program and everything on Qt's plugin path beside it: root's, and nobody else may write.
writable=$(find "$FOLDER" \( ! -user root -o ! -group root -o -perm /022 \) -printf '%M %u %g %p\n')
[[ -z $writable && $(stat -c '%a' "$FOLDER") == 755 ]] ||
    fail "the program folder is $(stat -c '%a %U %G' "$FOLDER") and others may change: $writable"
[[ $(stat -c '%a %U %G' "$STATE") == "2770 root kelvane" ]] ||
    fail "the settings folder is $(stat -c '%a %U %G' "$STATE"), expected 2770 root kelvane"
[[ $(dpkg-statoverride --list "$STATE") == "root kelvane 2770 $STATE" ]] ||
    fail "no statoverride for $STATE: $(dpkg-statoverride --list "$STATE")"
echo "ok: the program in $FOLDER (root's, 755), the settings folder $STATE (root:kelvane 2770), man page, copyright, changelog"

as() { # as <user> <command...>: the user's groups, no environment of root's
    setpriv --reuid="$(id -u "$1")" --regid=users --init-groups env -i PATH=/usr/bin:/bin "${@:2}"
}
home_of() { if [[ $1 == root ]]; then echo "$ROOT_HOME"; else getent passwd "$1" | cut -d: -f6; fi; }
# Starts the program as the user, in a session of their own and with their groups (umask
# START_UMASK, else 002); its process id is in KELVANE_PID, what it says in KELVANE_LOG. Assignments given (XDG_RUNTIME_DIR=) replace
# the session's. Without a session bus of its own, Qt would start one through X that outlives
# the program. The address space is bounded, so that a fault that reads without end fails fast;
# the files a process may open are bounded as a desktop session's are (1024).
start_as() { # start_as <user> [VAR=value...]
    local user=$1 home
    shift
    home=$(home_of "$user")
    KELVANE_LOG=$E2E_WORK/kelvane-$(id -u "$user").log
    (umask "${START_UMASK:-002}" && exec setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups \
        env -i DISPLAY="$DISPLAY" HOME="$home" XDG_RUNTIME_DIR="$home/run" PATH=/usr/bin:/bin \
        DBUS_SESSION_BUS_ADDRESS=disabled: "$@" prlimit --as=$((4 << 30)) --nofile=1024 \
        kelvane 2>"$KELVANE_LOG") &
    KELVANE_PID=$!
    E2E_PIDS+=("$KELVANE_PID")
}
# A start that must be turned away: a message is shown, which Return dismisses, and the start
# ends with status 1, having said what the message says.
turned_away() { # turned_away <user> <what the message says>
    local dialog i
    start_as "$1"
    dialog=$(pid_window "$KELVANE_PID" Kelvane) ||
        fail "$1 was not told why the program did not start: $(cat "$KELVANE_LOG")"
    press_until_gone "$dialog" "$KELVANE_PID"
    ended_with 1 "$KELVANE_PID" "$1's start, which must be turned away,"
    grep -qF "$2" "$KELVANE_LOG" || fail "$1 was told: $(cat "$KELVANE_LOG")"
}

# --- A member of the group saves the shared settings ----------------------------------------
# Their own primary group is another one: the file takes the folder's group. The umask leaves
# the group its write permission, as in a shared install's sessions. Homes are made as useradd
# makes them (0755, with a .bashrc): what another user can name, an attacker can link to.
useradd --create-home --home-dir "/home/$SECOND" --no-user-group --gid users --groups kelvane "$SECOND"
useradd --badname --create-home --home-dir "/home/${SECOND%b}a" --no-user-group --gid users \
    --groups kelvane "$MEMBER"
useradd --create-home --home-dir "/home/$OUTSIDER" --no-user-group --gid users "$OUTSIDER"
for user in "$MEMBER" "$SECOND" "$OUTSIDER"; do
    install -d -m 700 -o "$(id -u "$user")" -g users "$(home_of "$user")/run"
done
ROOT_HOME=$E2E_WORK/root
install -d -m 700 "$ROOT_HOME" "$ROOT_HOME/run"
xhost +local: >/dev/null
MEMBER_HOME=$(home_of "$MEMBER")
INI=$STATE/Kelvane.ini
LOCK=$STATE/Kelvane.lock
start_as "$MEMBER"
window=$(pid_window "$KELVANE_PID" Kelvane) || fail "the group member's start shows no start screen"
send_keys "$window" Escape
ended_with 0 "$KELVANE_PID" "the group member's Exit"
expect_file "$INI" "$DEFAULT_SETTINGS"
[[ $(stat -c '%U %G %A' "$INI") == "$MEMBER kelvane -rw-rw-r--" ]] ||
    fail "the saved settings file is $(stat -c '%U %G %A' "$INI")"
[[ $(ls -A "$FOLDER") == "$PROGRAM_FILES" ]] || fail "the program wrote into its own folder: $(ls -A "$FOLDER")"
echo "ok: a member of the group started kelvane from the PATH and saved the shared settings in $STATE"

# A member may save the settings, and nothing more: the program, and Qt's plugin folders beside
# it, stay root's. Someone outside the group does not even see the settings, nor the lock.
printf '#!/bin/sh\nid\n' >"$E2E_WORK/planted"
chmod 755 "$E2E_WORK" "$E2E_WORK/planted"
for attempt in "cp $E2E_WORK/planted $FOLDER/kelvane" "mv $FOLDER/kelvane $FOLDER/kelvane.old" \
    "mkdir $FOLDER/imageformats" "install -D $E2E_WORK/planted $FOLDER/imageformats/libqkv.so" \
    "mkdir $FOLDER/platforms" "cp $E2E_WORK/planted $FOLDER/qt.conf" "chmod g+w $FOLDER"; do
    # shellcheck disable=SC2086 # each row is split into its arguments
    if as "$SECOND" $attempt 2>/dev/null; then
        fail "a member of the group could: $attempt"
    fi
done
[[ $(ls -A "$FOLDER") == "$PROGRAM_FILES" ]] || fail "a member added to the program folder: $(ls -A "$FOLDER")"
! cmp -s "$FOLDER/kelvane" "$E2E_WORK/planted" || fail "a member replaced the program"
if as "$OUTSIDER" cat "$INI" >/dev/null 2>&1 || as "$OUTSIDER" ls "$STATE" >/dev/null 2>&1 ||
    as "$OUTSIDER" flock -n -x "$LOCK" true 2>/dev/null; then
    fail "a user outside the group can read $STATE or hold its lock"
fi
echo "ok: a member cannot replace the program nor add a plugin; others can neither read the settings nor hold the lock"

# --- What one user can do to another through the shared folder -----------------------------
# Each attack is made by the second member (or by a user outside the group), against the first
# member or root. Whatever it aims at stays byte for byte, and the calibration with it.
CALIBRATION=$(sha256sum <"$INI")
calibration_kept() { # calibration_kept <after what>
    [[ $(sha256sum <"$INI") == "$CALIBRATION" ]] || fail "$1 changed the calibration: $(cat "$INI")"
}
# A file's name, kind, owner, mode and time, and its first MiB (a 64 GiB file is not read whole).
fingerprint() { stat -c '%F %i %h %s %a %U %G %.9Y' "$1" && head -c 1M "$1" 2>/dev/null | sha256sum; }
ETC=$E2E_WORK/etc
mkdir -m 755 "$ETC"
printf 'root:x:0:0:root:/root:/bin/bash\n' >"$ETC/passwd"
printf 'root:*:20000:0:99999:7:::\n' >"$ETC/shadow"
chmod 600 "$ETC/shadow"
sysctl -qw fs.protected_hardlinks=0

# Something at the settings file's name that is not the settings file: the start screen uses the
# fall-backs, and its Exit is told that nothing was saved, and why. Rows: who starts | what the
# second member puts there | the file that must stay as it was.
mv "$INI" "$E2E_WORK/calibration.ini"
for row in "$MEMBER|ln -s $MEMBER_HOME/.bashrc $INI|$MEMBER_HOME/.bashrc" \
    "root|ln -s $ETC/passwd $INI|$ETC/passwd" \
    "$MEMBER|ln $MEMBER_HOME/.bashrc $INI|$MEMBER_HOME/.bashrc" \
    "root|ln $ETC/shadow $INI|$ETC/shadow" \
    "$MEMBER|head -c 4096 /dev/urandom >$INI && truncate -s 64G $INI|$INI"; do
    IFS='|' read -r user attack target <<<"$row"
    as "$SECOND" sh -c "$attack" || fail "the attack failed to start: $attack"
    before=$(fingerprint "$target" && fingerprint "$INI")
    start_as "$user"
    window=$(pid_window "$KELVANE_PID" Kelvane) || fail "$attack: no start screen for $user"
    send_keys "$window" Escape
    notice=$(pid_window "$KELVANE_PID" 'Settings not saved') || fail "$attack: $user's Exit was not told"
    send_keys "$notice" alt+e
    ended_with 0 "$KELVANE_PID" "$attack: $user's Exit without saving"
    [[ $(fingerprint "$target" && fingerprint "$INI") == "$before" ]] ||
        fail "$attack: $user's start changed $target"
    [[ $(stat -c '%a %U %G' "$ETC/shadow") == "600 root root" ]] || fail "$attack: $ETC/shadow was opened up"
    rm -f "$INI"
done
mv "$E2E_WORK/calibration.ini" "$INI"
echo "ok: links, second names and a 64 GiB file at the settings file's name are refused, for root too"

# The lock, while the first member uses the program: removed, or replaced by something that is
# no lock, or filled with markup. The next member's start is never let through unnoticed, and
# the message names the real holder, as plain text (the holder's name would load /dev/zero as
# an image otherwise). Rows: what the second member does | what their own start is told.
start_as "$MEMBER"
holder=$KELVANE_PID
window=$(pid_window "$holder" Kelvane) || fail "no start screen for the holder"
in_use="Kelvane is in use on this computer by $MEMBER since "
for row in "rm $LOCK|$in_use" \
    "rm $LOCK && mkfifo -m 660 $LOCK|$LOCK is not its lock file but a pipe" \
    "rm $LOCK && mkdir $LOCK|$LOCK is not its lock file but a folder" \
    "rm $LOCK && ln -s $STATE/nowhere $LOCK|$LOCK is not its lock file but a link" \
    "rm $LOCK && ln $MEMBER_HOME/.bashrc $LOCK|$LOCK is not its lock file but a file with more than one name" \
    "printf '<font size=7 color=red>%s</font><a href=x>y</a><img src=\"/dev/zero\">' $SECOND >$LOCK|$in_use"; do
    IFS='|' read -r attack told <<<"$row"
    before=$(fingerprint "$MEMBER_HOME/.bashrc")
    as "$SECOND" sh -c "$attack" || fail "the attack failed to start: $attack"
    sleep 2.5 # the holder looks at its lock every second
    turned_away "$SECOND" "$told"
    ! grep -qF -e "$SECOND" -e font "$KELVANE_LOG" || fail "$attack: the message shows the lock's text"
    [[ -f $LOCK && ! -L $LOCK && $(stat -c %h "$LOCK") == 1 ]] || rm -rf "$LOCK"
    sleep 2.5
    kill -0 "$holder" || fail "$attack: the holder's program ended"
    [[ $(fingerprint "$MEMBER_HOME/.bashrc") == "$before" ]] || fail "$attack: the victim's file changed"
done
[[ -f $LOCK && ! -L $LOCK && $(stat -c %h "$LOCK") == 1 ]] || fail "the holder did not put its lock back"
turned_away "$SECOND" "$in_use"
send_keys "$window" Escape
ended_with 0 "$holder" "the holder's Exit"
calibration_kept "the attacks on the lock"
echo "ok: a lock removed, replaced or filled with markup turns the next member away, naming the holder"

# The lock taken from under a member who has measured: the second member holds the first one's
# program still for a moment, removes the lock and starts the program, which takes a new one. The
# first program goes on with its visit and names who took the lock: Copy all still copies the
# result and Start still opens the measurement, without a question, and it never writes the
# settings again, not even on Exit; the second member's program saves as usual.
start_as "$MEMBER"
holder=$KELVANE_PID
holder_log=$KELVANE_LOG
window=$(pid_window "$holder" Kelvane) || fail "no start screen before the lock is taken"
send_keys "$window" space
form1=$(pid_window "$holder" Form1) || fail "the holder's Start opened no measurement"
xdotool mousemove 600 400 click 1
send_keys "$form1" Escape
window=$(pid_window "$holder" Kelvane) || fail "no start screen after the holder's measurement"
kill -STOP "$holder"
as "$SECOND" rm "$LOCK"
start_as "$SECOND"
taker=$KELVANE_PID
taker_window=$(pid_window "$taker" Kelvane) || fail "the start after the lock's removal shows no start screen"
before=$(fingerprint "$INI")
kill -CONT "$holder"
for ((i = 0; i < 100; i++)); do grep -qF 'as well.' "$holder_log" && break; sleep 0.1; done
grep -qF "Kelvane's lock was taken: Kelvane is now in use by $SECOND since " "$holder_log" ||
    fail "the holder was not told who took the lock: $(cat "$holder_log")"
kill -0 "$holder" || fail "the holder's program ended when the lock was taken"
send_keys "$window" ctrl+r
results=$(pid_window "$holder" 'Results of the visit') || fail "the holder's results did not open"
xclip -selection clipboard </dev/null
send_keys "$results" alt+c
for ((i = 0; i < 100; i++)); do
    copied=$(xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null) && [[ -n $copied ]] && break
    sleep 0.1
done
[[ $copied == *"(prism dioptres)  glasses OD red, OS blue; OS fixes;"* && $(wc -l <<<"$copied") == 1 ]] ||
    fail "the holder's Copy all copied: '$copied'"
send_keys "$results" Escape
window=$(pid_window "$holder" Kelvane) || fail "the results did not close over the holder's start screen"
send_keys "$window" space
form1=$(pid_window "$holder" Form1) || fail "the holder's Start opened no measurement once the lock was taken"
send_keys "$form1" Escape
window=$(pid_window "$holder" Kelvane) || fail "no start screen after the holder's second measurement"
[[ $(fingerprint "$INI") == "$before" ]] || fail "the holder wrote the settings after its lock was taken"
send_keys "$taker_window" Escape
ended_with 0 "$taker" "the second member's Exit"
after=$(fingerprint "$INI")
[[ $after != "$before" ]] || fail "the second member's Exit did not save"
send_keys "$window" Escape
ended_with 0 "$holder" "the holder's Exit once its lock was taken"
[[ $(fingerprint "$INI") == "$after" ]] || fail "the holder's Exit wrote the settings"
calibration_kept "the lock taken from under a member"
echo "ok: the lock taken from under a member who measured: the program goes on, names $SECOND, copies the visit, measures, and writes nothing"

# A member leaves a lock that only they may open: every other member is told so, with its owner,
# not to join a group they are in.
as "$SECOND" sh -c "rm -f $LOCK && touch $LOCK && chmod 600 $LOCK"
turned_away "$MEMBER" "its lock file $LOCK belongs to $SECOND, and its permissions (0600) keep the other users of the folder's group out"
! grep -qF "add this user to the folder's group" "$KELVANE_LOG" || fail "a member was told to join the group: $(cat "$KELVANE_LOG")"
rm "$LOCK"
echo "ok: a lock of mode 0600 left by a member is named, with its owner, to the other members"

# The first member's fall-back runtime folder taken by someone else, no XDG_RUNTIME_DIR and a
# read-only home: the program still starts, guarded by the folder's lock alone.
as "$OUTSIDER" mkdir -m 700 "/tmp/runtime-$SECOND"
chmod 555 "$(home_of "$SECOND")"
start_as "$SECOND" XDG_RUNTIME_DIR=
window=$(pid_window "$KELVANE_PID" Kelvane) ||
    fail "no start screen without a runtime folder of the user's own"
send_keys "$window" Escape
ended_with 0 "$KELVANE_PID" "the Exit without a runtime folder"
chmod 755 "$(home_of "$SECOND")"
calibration_kept "a start without a runtime folder"
echo "ok: with the runtime folder taken by another user and a read-only home, the program starts and saves"

# About a thousand idle calls on the raise socket by the same user, more than the program may
# have files open: it does not spin, a second start is still answered (or hung up on) at once,
# and the Exit still saves.
start_as "$MEMBER"
flooded=$KELVANE_PID
window=$(pid_window "$flooded" Kelvane) || fail "no start screen before the raise socket is flooded"
inode=$(stat -c %i "$INI")
# shellcheck disable=SC2016 # Perl's variables
flood='$| = 1; my @calls;
    for (1 .. 1100) { socket(my $call, AF_UNIX, SOCK_STREAM, 0) or last;
        connect($call, pack_sockaddr_un($ARGV[0])) and push @calls, $call }
    print scalar @calls, "\n"; sleep 15'
(exec setpriv --reuid="$(id -u "$MEMBER")" --regid=users --init-groups perl -MSocket -e "$flood" \
    "$MEMBER_HOME/run/kelvane.raise" >"$E2E_WORK/calls") &
caller=$!
E2E_PIDS+=("$caller")
for ((i = 0; i < 100; i++)); do [[ -s $E2E_WORK/calls ]] && break; sleep 0.1; done
calls=$(cat "$E2E_WORK/calls")
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
ticks=$(cpu "$flooded")
sleep 3
ticks=$(($(cpu "$flooded") - ticks))
((ticks < 3 * $(getconf CLK_TCK) / 4)) ||
    fail "with ${calls:-1100 (not all taken)} idle calls the program took $ticks ticks of CPU in 3 s"
start_as "$MEMBER"
ended_with 0 "$KELVANE_PID" "a second start while the raise socket is flooded" 8
send_keys "$window" Escape
ended_with 0 "$flooded" "the Exit while the raise socket is flooded"
kill "$caller"
[[ $(stat -c %i "$INI") != "$inode" ]] || fail "the Exit did not save while the raise socket was flooded"
calibration_kept "a save under a flooded raise socket"
echo "ok: $calls idle calls on the raise socket: $ticks ticks of CPU in 3 s, a second start answered, the Exit saved"

# An administrator changes the calibration in the file while a user's start screen is open: the
# user's Exit keeps the administrator's value.
start_as "$MEMBER"
window=$(pid_window "$KELVANE_PID" Kelvane) || fail "no start screen before the administrator's change"
changed=${DEFAULT_SETTINGS/SCREENH= 500/SCREENH= 777}
printf '%s\n' "$changed" >"$INI"
send_keys "$window" Escape
ended_with 0 "$KELVANE_PID" "the Exit after the administrator's change"
expect_file "$INI" "$changed"
echo "ok: a calibration changed by the administrator while the start screen was open is kept by its Exit"
sysctl -qw fs.protected_hardlinks="$HARDLINKS"

# --- Reports: the first member's alone --------------------------------------------------------
# The first member measures once, types an identifier, and saves the report through the Results
# window's file dialog at <path> (answering its question where a file seems to be there); it
# is written (the file named) or refused ("refused": the message is up, and dismissed). With
# GTK's platform theme where it is installed: its own file dialog would keep the report's name
# in the desktop's history. The program then runs on with the Results window open.
save_report() { # save_report <path> <written file | refused>
    local window results dialog i
    START_UMASK=022 start_as "$MEMBER" QT_QPA_PLATFORMTHEME=gtk3
    window=$(pid_window "$KELVANE_PID" Kelvane) || fail "no start screen before the report"
    send_keys "$window" space
    window=$(pid_window "$KELVANE_PID" Form1) || fail "Start did not open the measurement screen"
    xdotool mousemove 565 437 click 1
    send_keys "$window" Escape
    window=$(pid_window "$KELVANE_PID" Kelvane) || fail "Esc did not bring back the start screen"
    send_keys "$window" ctrl+r
    results=$(pid_window "$KELVANE_PID" 'Results of the visit') || fail "Ctrl+R opened no results"
    send_keys "$results" alt+i
    xdotool type --delay 10 "$REPORT_ID"
    send_keys "$results" alt+d
    dialog=$(pid_window "$KELVANE_PID" 'Save the report as PDF') || fail "Alt+D opened no file dialog"
    send_keys "$dialog" ctrl+a
    xdotool type --delay 10 "$1"
    xdotool key Return
    for ((i = 0; i < 200; i++)); do
        if [[ $2 == refused ]]; then
            window=$(xdotool search --all --onlyvisible --pid "$KELVANE_PID" --name '^Report not saved$' | head -n1 || true)
            [[ -n $window ]] && send_keys "$window" Return && return 0
        elif [[ -s $2 ]]; then
            return 0
        fi
        # "… already exists. Do you want to replace it?", over the dialog and of its title.
        (($(xdotool search --all --onlyvisible --pid "$KELVANE_PID" --name '^Save the report as PDF$' | wc -l) > 1)) &&
            xdotool key alt+y
        sleep 0.05
    done
    fail "the report at $1 was neither saved nor refused: $(ls -lL "$1" 2>&1)"
}
# Ends the program from the Results window: Esc there, and on the start screen, which asks first
# where the report was not saved.
end_after_report() { # end_after_report <saved: true | false>
    local start
    send_keys "$(pid_window "$KELVANE_PID" 'Results of the visit')" Escape
    start=$(pid_window "$KELVANE_PID" Kelvane) || fail "no start screen after the Results window"
    if $1; then
        send_keys "$start" Escape
        ended_with 0 "$KELVANE_PID" "the Exit after the report"
    else
        exit_discarding "$start" "$KELVANE_PID"
    fi
}

# Another user's link at the report's predictable name in /tmp, to a file of theirs that anyone
# may write and read, with the kernel's protection of links in shared folders off and on: the
# report goes neither through nor over it, and the user is told.
as "$SECOND" mkdir -m 777 "$DROP"
for symlinks in 0 1; do
    sysctl -qw fs.protected_symlinks=$symlinks
    report="/tmp/Kelvane report kv$$ $symlinks.pdf"
    as "$SECOND" sh -c "echo theirs >$DROP/stolen.pdf && chmod 666 $DROP/stolen.pdf && ln -s $DROP/stolen.pdf '$report'"
    before=$(fingerprint "$DROP/stolen.pdf" && stat -c '%U %N' "$report")
    save_report "$report" refused
    end_after_report false
    [[ $(fingerprint "$DROP/stolen.pdf" && stat -c '%U %N' "$report") == "$before" ]] ||
        fail "protected_symlinks=$symlinks: the report went through or over the planted link: $(ls -l "$report" "$DROP")"
    [[ $(ls -A "$DROP") == stolen.pdf && -z $(find /tmp -maxdepth 1 -name '.kelvane-*') ]] ||
        fail "protected_symlinks=$symlinks: the save left $(ls -A "$DROP" /tmp)"
    rm -f "$report" "$DROP/stolen.pdf"
done
sysctl -qw fs.protected_symlinks="$SYMLINKS"
echo "ok: a report saved at another user's link in /tmp is refused, with fs.protected_symlinks 0 and 1"

# A report saved in the member's home under umask 022 is theirs alone; nothing else in the home
# names it, and the running program keeps no core and lets no debugger in.
report=$MEMBER_HOME/$REPORT_ID.pdf
save_report "$report" "$report"
[[ $(stat -c '%a %U' "$report") == "600 $MEMBER" ]] ||
    fail "the report is $(stat -c '%a %U' "$report") under umask 022"
[[ $(stat -c %U "/proc/$KELVANE_PID/status") == root ]] &&
    grep -Eq '^Max core file size +0 +0 ' "/proc/$KELVANE_PID/limits" ||
    fail "the program may dump core: $(stat -c %U "/proc/$KELVANE_PID/status"), $(grep core "/proc/$KELVANE_PID/limits")"
end_after_report true
named=$(grep -rlF "$REPORT_ID" "$MEMBER_HOME" --exclude="$REPORT_ID.pdf" || true)
[[ -z $named ]] || fail "the report's name is kept in $named"
echo "ok: a report is made 0600 under umask 022, its name kept nowhere in the home (no recently-used.xbel); no core dumps"

# --- Remove keeps the settings; a reinstall uses them again; purge removes them -------------
printf '[Screen]\r\nSCREENH= 612\r\nSCREENV= 598\r\n' >"$STATE/Kelvane.ini"
before=$(md5sum <"$STATE/Kelvane.ini")
apt-get remove -y kelvane >"$E2E_WORK/apt.log" 2>&1 || fail "apt-get remove failed: $(cat "$E2E_WORK/apt.log")"
[[ ! -e $FOLDER/kelvane && ! -L /usr/bin/kelvane ]] || fail "removing the package left the program"
[[ $(md5sum <"$STATE/Kelvane.ini" 2>/dev/null) == "$before" ]] || fail "removing the package changed the settings"
(cd "$E2E_WORK/deb" && apt-get install -y ./kelvane_*.deb) >"$E2E_WORK/apt.log" 2>&1 ||
    fail "reinstalling failed: $(cat "$E2E_WORK/apt.log")"
[[ $(stat -c '%a %U %G' "$STATE") == "2770 root kelvane" && $(md5sum <"$STATE/Kelvane.ini") == "$before" ]] ||
    fail "after a reinstall the settings folder is $(stat -c '%a %U %G' "$STATE") or the settings changed"
echo "ok: removing the package kept the calibration byte for byte; a reinstall found it"

# --- An upgrade from the layout that kept the settings beside the program -------------------
# Up to 2.1 the program folder was the group's (2775) and held Kelvane.ini and its lock. The
# set-up gives the folder back to root and moves the calibration, byte for byte, unless the new
# place has one already; what a member planted there is named, not loaded.
old_layout() { # old_layout <settings content>
    printf '%b' "$1" >"$FOLDER/Kelvane.ini"
    chown "$MEMBER:kelvane" "$FOLDER/Kelvane.ini"
    chmod 600 "$FOLDER/Kelvane.ini"
    : >"$FOLDER/Kelvane.lock"
    chgrp kelvane "$FOLDER"
    chmod 2775 "$FOLDER"
}
rm "$STATE/Kelvane.ini"
old_layout '[Screen]\r\nSCREENH= 633\r\nSCREENV= 601\r\n'
old=$(md5sum <"$FOLDER/Kelvane.ini")
mkdir "$FOLDER/imageformats"
"/var/lib/dpkg/info/kelvane.postinst" configure 2.1 2>"$E2E_WORK/postinst.log" || fail "the upgrade's set-up failed"
[[ $(md5sum <"$STATE/Kelvane.ini" 2>/dev/null) == "$old" && ! -e $FOLDER/Kelvane.ini && ! -e $FOLDER/Kelvane.lock ]] ||
    fail "the upgrade did not move the calibration: $(ls -A "$FOLDER" "$STATE")"
[[ $(stat -c '%U %G %a' "$STATE/Kelvane.ini") == "$MEMBER kelvane 660" ]] ||
    fail "the moved settings file is $(stat -c '%U %G %a' "$STATE/Kelvane.ini"): the group cannot save it"
[[ $(stat -c '%a %U %G' "$FOLDER") == "755 root root" ]] ||
    fail "after the upgrade the program folder is $(stat -c '%a %U %G' "$FOLDER")"
grep -q "$FOLDER/imageformats was not installed by the package" "$E2E_WORK/postinst.log" ||
    fail "the set-up did not name the planted folder: $(cat "$E2E_WORK/postinst.log")"
rmdir "$FOLDER/imageformats"
# The new place has a calibration already: it stays, and the old file is left where it was.
old_layout '[Screen]\nSCREENH= 111\n'
"/var/lib/dpkg/info/kelvane.postinst" configure 2.1 2>/dev/null || fail "the upgrade's set-up failed"
[[ $(md5sum <"$STATE/Kelvane.ini") == "$old" && -f $FOLDER/Kelvane.ini ]] ||
    fail "the upgrade replaced the calibration in $STATE"
rm "$FOLDER/Kelvane.ini"
# A later configure of this version neither moves nor changes anything.
"/var/lib/dpkg/info/kelvane.postinst" configure "$VERSION-1" || fail "the set-up failed"
echo "ok: an upgrade moved the calibration from $FOLDER to $STATE byte for byte and gave the folder back to root"

# A link or a second name under the settings file's name in the old folder, made by a member
# while the folder was the group's, of a file of root's alone; a second name while the kernel let
# anyone link any file (fs.protected_hardlinks=0, restored at once). The set-up, run as root,
# neither follows, moves nor opens it up: the file keeps its owner, group and mode, nothing in
# the settings folder is a name of it, and the set-up names it. Rows: how the member names it |
# what the set-up says.
rm "$STATE/Kelvane.ini"
printf 'secret\n' >"$ROOT_ONLY"
chmod 600 "$ROOT_ONLY"
for row in "ln -s|is a symbolic link" "ln|is one of 2 names (hard links) of one file"; do
    IFS='|' read -r how said <<<"$row"
    chgrp kelvane "$FOLDER"
    chmod 2775 "$FOLDER"
    sysctl -qw fs.protected_hardlinks=0
    # shellcheck disable=SC2086 # "ln -s" is the command and its option
    as "$SECOND" $how "$ROOT_ONLY" "$FOLDER/Kelvane.ini" || fail "the member could not $how the file"
    sysctl -qw fs.protected_hardlinks="$HARDLINKS"
    "/var/lib/dpkg/info/kelvane.postinst" configure 2.1 2>"$E2E_WORK/postinst.log" ||
        fail "$how: the set-up failed: $(cat "$E2E_WORK/postinst.log")"
    [[ $(stat -c '%a %U %G' "$ROOT_ONLY") == "600 root root" ]] ||
        fail "$how: the set-up made root's file $(stat -c '%a %U %G' "$ROOT_ONLY")"
    [[ -z $(find "$STATE" -samefile "$ROOT_ONLY") && -z $(find -L "$STATE" -samefile "$ROOT_ONLY") ]] ||
        fail "$how: the set-up put a name of root's file in $STATE: $(ls -lA "$STATE")"
    [[ -e $FOLDER/Kelvane.ini || -L $FOLDER/Kelvane.ini ]] || fail "$how: the set-up removed the name"
    grep -qF "$FOLDER/Kelvane.ini $said; it was left where it is" "$E2E_WORK/postinst.log" ||
        fail "$how: the set-up did not say what it left: $(cat "$E2E_WORK/postinst.log")"
    rm "$FOLDER/Kelvane.ini"
done
[[ $(cat "$ROOT_ONLY") == secret ]] || fail "root's file changed"
echo "ok: the set-up leaves a link or a second name under the settings file's name as it is, and names it"

printf '[Screen]\nSCREENH= 612\n' >"$STATE/Kelvane.ini"
ln -s "$ROOT_ONLY" "$STATE/link"
apt-get purge -y kelvane >"$E2E_WORK/apt.log" 2>&1 || fail "apt-get purge failed: $(cat "$E2E_WORK/apt.log")"
[[ ! -e $FOLDER && ! -e $STATE ]] || fail "purging the package left $(ls -d "$FOLDER" "$STATE" 2>/dev/null)"
[[ -z $(dpkg-statoverride --list "$STATE") ]] || fail "purging left the statoverride of $STATE"
! dpkg-query -W kelvane >/dev/null 2>&1 || fail "the package is still known to dpkg after the purge"
[[ -f $ROOT_ONLY ]] || fail "purging followed a link out of the settings folder"
echo "ok: purging removed the settings folder, the calibration and the statoverride"
