#!/usr/bin/env bash
# The Debian package on this machine: built with CPack from a build that keeps the settings in
# /var/lib/kelvane, checked by lintian, installed with apt, the program started by a member of the
# group kelvane who saves the settings, then removed and purged; an upgrade from the layout that
# kept the settings beside the program. It installs into /usr and creates users, so it runs as
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

MEMBER=kelvane-e2e-$$
OUTSIDER=kelvane-e2o-$$
GROUP_EXISTED=false
getent group kelvane >/dev/null && GROUP_EXISTED=true
MEMBER_HOME=$(mktemp -d /tmp/kelvane-e2e-member.XXXXXX)
package_cleanup() {
    set +e
    e2e_cleanup
    dpkg-query -W kelvane >/dev/null 2>&1 && dpkg --purge kelvane >/dev/null
    rm -rf "$FOLDER" "$STATE" # only when the purge itself failed
    dpkg-statoverride --list "$STATE" >/dev/null && dpkg-statoverride --remove "$STATE"
    # Whatever still runs as the test's own member (nothing should) would keep userdel from working.
    pkill -KILL -u "$MEMBER" 2>/dev/null && sleep 0.2
    userdel "$MEMBER" 2>/dev/null
    userdel "$OUTSIDER" 2>/dev/null
    $GROUP_EXISTED || groupdel kelvane 2>/dev/null
    rm -rf "$MEMBER_HOME"
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
expected="/usr/bin/kelvane
$FOLDER/kelvane
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

# --- A member of the group saves the shared settings ----------------------------------------
# Their own primary group is another one: the file takes the folder's group. The umask leaves
# the group its write permission, as in a shared install's sessions. Without a session bus of
# its own, Qt would start one through X that outlives the program and keeps the user in use.
useradd --no-create-home --no-user-group --gid users --groups kelvane --shell /usr/sbin/nologin \
    --home-dir "$MEMBER_HOME" "$MEMBER"
useradd --no-create-home --no-user-group --gid users --shell /usr/sbin/nologin \
    --home-dir "$MEMBER_HOME" "$OUTSIDER"
chown "$MEMBER:users" "$MEMBER_HOME"
chmod 700 "$MEMBER_HOME"
as() { # as <user> <command...>: the user's groups, no environment of root's
    local user=$1
    shift
    setpriv --reuid="$user" --regid=users --init-groups env -i PATH=/usr/bin:/bin "$@"
}
xhost "+SI:localuser:$MEMBER" >/dev/null
(umask 002 && exec setpriv --reuid="$MEMBER" --regid=users --init-groups \
    env -i DISPLAY="$DISPLAY" HOME="$MEMBER_HOME" XDG_RUNTIME_DIR="$MEMBER_HOME" PATH=/usr/bin:/bin \
    DBUS_SESSION_BUS_ADDRESS=disabled: kelvane) &
KELVANE_PID=$!
E2E_PIDS+=("$KELVANE_PID")
window=$(wait_window Kelvane) || fail "the group member's start shows no start screen"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
expect_file "$STATE/Kelvane.ini" "$DEFAULT_SETTINGS"
[[ $(stat -c '%U %G %A' "$STATE/Kelvane.ini") == "$MEMBER kelvane -rw-rw-r--" ]] ||
    fail "the saved settings file is $(stat -c '%U %G %A' "$STATE/Kelvane.ini")"
[[ $(ls -A "$FOLDER") == kelvane ]] || fail "the program wrote into its own folder: $(ls -A "$FOLDER")"
echo "ok: a member of the group started kelvane from the PATH and saved the shared settings in $STATE"

# A member may save the settings, and nothing more: the program, and Qt's plugin folders beside
# it, stay root's. Someone outside the group does not even see the settings.
printf '#!/bin/sh\nid\n' >"$E2E_WORK/planted"
chmod 755 "$E2E_WORK" "$E2E_WORK/planted"
for attempt in "cp $E2E_WORK/planted $FOLDER/kelvane" "mv $FOLDER/kelvane $FOLDER/kelvane.old" \
    "mkdir $FOLDER/imageformats" "mkdir $FOLDER/platforms" "cp $E2E_WORK/planted $FOLDER/qt.conf" \
    "chmod g+w $FOLDER"; do
    # shellcheck disable=SC2086 # each row is split into its arguments
    if as "$MEMBER" $attempt 2>/dev/null; then
        fail "a member of the group could: $attempt"
    fi
done
[[ $(ls -A "$FOLDER") == kelvane ]] || fail "a member added to the program folder: $(ls -A "$FOLDER")"
! cmp -s "$FOLDER/kelvane" "$E2E_WORK/planted" || fail "a member replaced the program"
if as "$OUTSIDER" cat "$STATE/Kelvane.ini" >/dev/null 2>&1 || as "$OUTSIDER" ls "$STATE" >/dev/null 2>&1; then
    fail "a user outside the group can read $STATE"
fi
echo "ok: a member cannot replace the program nor add a plugin folder; others cannot read the settings"

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

# A link under the settings file's name in the old folder: the set-up, run as root, neither
# follows nor moves it.
rm "$STATE/Kelvane.ini"
secret=$E2E_WORK/secret
echo secret >"$secret"
chmod 600 "$secret"
chmod 2775 "$FOLDER"
ln -sf "$secret" "$FOLDER/Kelvane.ini"
"/var/lib/dpkg/info/kelvane.postinst" configure 2.1 2>/dev/null || fail "the set-up failed on a linked settings file"
[[ $(stat -c '%a %U %G' "$secret") == "600 root root" && ! -e $STATE/Kelvane.ini && ! -L $STATE/Kelvane.ini ]] ||
    fail "the set-up followed a link to $(stat -c '%a %U %G' "$secret")"
rm "$FOLDER/Kelvane.ini"
echo "ok: the set-up leaves a link under the settings file's name alone"

printf '[Screen]\nSCREENH= 612\n' >"$STATE/Kelvane.ini"
ln -s "$secret" "$STATE/link"
apt-get purge -y kelvane >"$E2E_WORK/apt.log" 2>&1 || fail "apt-get purge failed: $(cat "$E2E_WORK/apt.log")"
[[ ! -e $FOLDER && ! -e $STATE ]] || fail "purging the package left $(ls -d "$FOLDER" "$STATE" 2>/dev/null)"
[[ -z $(dpkg-statoverride --list "$STATE") ]] || fail "purging left the statoverride of $STATE"
! dpkg-query -W kelvane >/dev/null 2>&1 || fail "the package is still known to dpkg after the purge"
[[ -f $secret ]] || fail "purging followed a link out of the settings folder"
echo "ok: purging removed the settings folder, the calibration and the statoverride"
