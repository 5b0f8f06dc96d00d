#!/usr/bin/env bash
# The Debian package on this machine: built with CPack, installed with apt, the program started
# by a member of the group kelvane who saves the settings, then removed and purged. It installs
# into /usr and creates users, so it runs as root only (as in CI) and leaves nothing behind.
source "$KELVANE_TESTS/e2e_lib.sh"

BUILD=$(dirname "$1")
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
FOLDER=/usr/lib/kelvane
APP=org.kelvane.Kelvane
SKIP=77

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: installing the package and creating users needs root (CI runs the tests as root)"
    exit $SKIP
fi
if dpkg-query -W kelvane >/dev/null 2>&1 || [[ -e $FOLDER ]]; then
    echo "SKIP: Kelvane is already installed in $FOLDER on this machine; the test would replace it"
    exit $SKIP
fi

MEMBER=kelvane-e2e-$$
GROUP_EXISTED=false
getent group kelvane >/dev/null && GROUP_EXISTED=true
MEMBER_HOME=$(mktemp -d /tmp/kelvane-e2e-member.XXXXXX)
package_cleanup() {
    set +e
    e2e_cleanup
    dpkg-query -W kelvane >/dev/null 2>&1 && dpkg --purge kelvane >/dev/null
    rm -rf "$FOLDER" # only when the purge itself failed
    # Whatever still runs as the test's own member (nothing should) would keep userdel from working.
    pkill -KILL -u "$MEMBER" 2>/dev/null && sleep 0.2
    userdel "$MEMBER" 2>/dev/null
    $GROUP_EXISTED || groupdel kelvane 2>/dev/null
    rm -rf "$MEMBER_HOME"
}
trap package_cleanup EXIT
export DEBIAN_FRONTEND=noninteractive

# --- Build and install -----------------------------------------------------------------------
cpack -G DEB -B "$E2E_WORK/deb" --config "$BUILD/CPackConfig.cmake" >"$E2E_WORK/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$E2E_WORK/cpack.log")"
DEB=$(echo "$E2E_WORK"/deb/kelvane_*.deb)
[[ -f $DEB && $DEB == */kelvane_${VERSION}_*.deb ]] || fail "no package for version $VERSION: $DEB"
dpkg-deb -f "$DEB" Depends | grep -q 'libqt6widgets6' || fail "the package does not depend on Qt"
(cd "$E2E_WORK/deb" && apt-get install -y ./kelvane_*.deb) >"$E2E_WORK/apt.log" 2>&1 ||
    fail "apt-get install failed: $(cat "$E2E_WORK/apt.log")"

files=$(dpkg -L kelvane | while read -r path; do [[ -d $path && ! -L $path ]] || echo "$path"; done | sort)
expected="/usr/bin/kelvane
$FOLDER/kelvane
/usr/share/applications/$APP.desktop
/usr/share/icons/hicolor/scalable/apps/$APP.svg
/usr/share/metainfo/$APP.metainfo.xml"
[[ $files == "$expected" ]] || fail "the package installed
$files
expected
$expected"
[[ $(readlink /usr/bin/kelvane) == ../lib/kelvane/kelvane ]] || fail "/usr/bin/kelvane is not the link"
grep -qx "Exec=$FOLDER/kelvane" "/usr/share/applications/$APP.desktop" ||
    fail "the desktop entry does not start $FOLDER/kelvane"
[[ $(stat -c '%a %U %G' "$FOLDER") == "2775 root kelvane" ]] ||
    fail "the program folder is $(stat -c '%a %U %G' "$FOLDER"), expected 2775 root kelvane"
echo "ok: the package installs the program in $FOLDER (2775, group kelvane), the link and the desktop files"

# --- A member of the group saves the shared settings ----------------------------------------
# Their own primary group is another one: the file takes the folder's group. The umask leaves
# the group its write permission, as in a shared install's sessions. Without a session bus of
# its own, Qt would start one through X that outlives the program and keeps the user in use.
useradd --no-create-home --no-user-group --gid users --groups kelvane --shell /usr/sbin/nologin \
    --home-dir "$MEMBER_HOME" "$MEMBER"
chown "$MEMBER:users" "$MEMBER_HOME"
chmod 700 "$MEMBER_HOME"
xhost "+SI:localuser:$MEMBER" >/dev/null
(umask 002 && exec setpriv --reuid="$MEMBER" --regid=users --init-groups \
    env -i DISPLAY="$DISPLAY" HOME="$MEMBER_HOME" XDG_RUNTIME_DIR="$MEMBER_HOME" PATH=/usr/bin:/bin \
    DBUS_SESSION_BUS_ADDRESS=disabled: kelvane) &
KELVANE_PID=$!
E2E_PIDS+=("$KELVANE_PID")
window=$(wait_window Kelvane) || fail "the group member's start shows no start screen"
send_keys "$window" Escape
wait_exit "$KELVANE_PID"
expect_file "$FOLDER/Kelvane.ini" "$DEFAULT_SETTINGS"
[[ $(stat -c '%U %G %A' "$FOLDER/Kelvane.ini") == "$MEMBER kelvane -rw-rw-r--" ]] ||
    fail "the saved settings file is $(stat -c '%U %G %A' "$FOLDER/Kelvane.ini")"
echo "ok: a member of the group started kelvane from the PATH and saved the shared settings"

# --- Remove keeps the settings; a reinstall gives them back to the group; purge removes them ---
printf '[Screen]\r\nSCREENH= 612\r\nSCREENV= 598\r\n' >"$FOLDER/Kelvane.ini"
before=$(md5sum <"$FOLDER/Kelvane.ini")
apt-get remove -y kelvane >"$E2E_WORK/apt.log" 2>&1 || fail "apt-get remove failed: $(cat "$E2E_WORK/apt.log")"
[[ ! -e $FOLDER/kelvane && ! -L /usr/bin/kelvane ]] || fail "removing the package left the program"
[[ $(md5sum <"$FOLDER/Kelvane.ini" 2>/dev/null) == "$before" ]] || fail "removing the package changed the settings"
# Saved meanwhile by a user whose umask shuts out the group: the reinstall opens it up again.
chmod 600 "$FOLDER/Kelvane.ini"
(cd "$E2E_WORK/deb" && apt-get install -y ./kelvane_*.deb) >"$E2E_WORK/apt.log" 2>&1 ||
    fail "reinstalling failed: $(cat "$E2E_WORK/apt.log")"
[[ $(stat -c '%a %G' "$FOLDER" "$FOLDER/Kelvane.ini" | tr '\n' ' ') == "2775 kelvane 660 kelvane " ]] ||
    fail "after a reinstall the folder and the kept file are $(stat -c '%a %G' "$FOLDER" "$FOLDER/Kelvane.ini")"
[[ $(md5sum <"$FOLDER/Kelvane.ini") == "$before" ]] || fail "reinstalling changed the settings"
echo "ok: removing the package kept the settings byte for byte; a reinstall gave them back to the group"

# The group may put a link under the settings file's name: the set-up, run as root, must not
# hand the link's target to the group.
secret=$E2E_WORK/secret
echo secret >"$secret"
chmod 600 "$secret"
ln -sf "$secret" "$FOLDER/Kelvane.ini"
"/var/lib/dpkg/info/kelvane.postinst" configure || fail "the set-up failed on a linked settings file"
[[ $(stat -c '%a %U %G' "$secret") == "600 root root" ]] ||
    fail "the set-up followed a link to $(stat -c '%a %U %G' "$secret")"
echo "ok: the set-up leaves a link under the settings file's name alone"

apt-get purge -y kelvane >"$E2E_WORK/apt.log" 2>&1 || fail "apt-get purge failed: $(cat "$E2E_WORK/apt.log")"
[[ ! -e $FOLDER ]] || fail "purging the package left $FOLDER: $(ls -A "$FOLDER")"
! dpkg-query -W kelvane >/dev/null 2>&1 || fail "the package is still known to dpkg after the purge"
[[ -f $secret ]] || fail "purging followed a link out of the program folder"
echo "ok: purging removed the program folder with the settings"
