#!/usr/bin/env bash
# The install: a per-user layout whose program folder keeps the settings, a launcher link that
# finds that folder, a desktop entry and metainfo that the desktop's own validators accept, and
# the staged, shared and unusual-path variants of the same install. A shared install keeps the
# settings in a folder of their own and the program's folder read-only for the group.
source "$KELVANE_TESTS/e2e_lib.sh"

BUILD=$(dirname "$1")
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
APP=org.kelvane.Kelvane

INSTALL_LOG=$E2E_WORK/install.log
install_to() { # install_to <prefix> [cmake -P options...]: the install's output in INSTALL_LOG
    local prefix=$1
    shift
    cmake -DCMAKE_INSTALL_PREFIX="$prefix" "$@" -P "${INSTALL_BUILD:-$BUILD}/cmake_install.cmake" >"$INSTALL_LOG" 2>&1
}
# Nothing in the folder that anyone but its owner may change: `find` lists what the group or
# others may write.
owner_only() { # owner_only <folder>
    [[ $(stat -c %a "$1") == 755 && -z $(find "$1" -perm /022) ]]
}

# --- A per-user install: every part where the desktop looks for it -------------------------
HOME=$E2E_WORK/home
PREFIX=$HOME/.local
# The prefix is given, as the README says: a build folder has the usual /usr/local by default.
# A umask that lets the group write must not open the program folder to it.
(umask 002 && install_to "$PREFIX") || fail "per-user install failed: $(cat "$INSTALL_LOG")"
PROGRAM=$PREFIX/lib/kelvane/kelvane
[[ -x $PROGRAM ]] || fail "no program at $PROGRAM"
[[ -L $PREFIX/bin/kelvane ]] || fail "bin/kelvane is not a link"
[[ $(readlink "$PREFIX/bin/kelvane") == ../lib/kelvane/kelvane ]] ||
    fail "bin/kelvane points at $(readlink "$PREFIX/bin/kelvane"), not relatively at the program"
[[ -w $PREFIX/lib/kelvane ]] && owner_only "$PREFIX/lib/kelvane" ||
    fail "the program folder is not its owner's alone: $(stat -c %A "$PREFIX/lib/kelvane")"
[[ -f $PREFIX/share/man/man1/kelvane.1.gz && -f $PREFIX/share/doc/kelvane/copyright ]] ||
    fail "no manual page or copyright file under share"
zcat "$PREFIX/share/man/man1/kelvane.1.gz" | grep -q '^\.TH KELVANE 1' || fail "the manual page is no manual page"
if [[ $(id -u) -eq 0 ]]; then
    tr -s ' \n' ' ' <"$INSTALL_LOG" | grep -q 'which only root can write' ||
        fail "an install by root did not warn that only root can keep settings"
fi

DESKTOP=$PREFIX/share/applications/$APP.desktop
METAINFO=$PREFIX/share/metainfo/$APP.metainfo.xml
desktop-file-validate "$DESKTOP" || fail "desktop-file-validate rejects $DESKTOP"
appstreamcli validate --no-net "$METAINFO" >"$E2E_WORK/appstream.log" 2>&1 ||
    fail "appstreamcli rejects the metainfo: $(cat "$E2E_WORK/appstream.log")"
grep -qx "Exec=$PROGRAM" "$DESKTOP" || fail "the desktop entry does not start $PROGRAM"
icon=$(sed -n 's/^Icon=//p' "$DESKTOP")
[[ -f $PREFIX/share/icons/hicolor/scalable/apps/$icon.svg ]] ||
    fail "the desktop entry names icon '$icon', which is not installed"
grep -q "<launchable type=\"desktop-id\">$APP.desktop</launchable>" "$METAINFO" ||
    fail "the metainfo does not name the installed desktop entry"
grep -q "<release version=\"$VERSION\"" "$METAINFO" ||
    fail "the metainfo has no release entry for version $VERSION"
echo "ok: per-user layout, relative link, desktop entry and metainfo validate"

# --- Started through links, the program keeps its settings beside the real executable -------
mkdir -p "$E2E_WORK/elsewhere" "$HOME/Desktop"
ln -s "$PREFIX/bin/kelvane" "$HOME/Desktop/Kelvane"
for launcher in "$PREFIX/bin/kelvane" "$HOME/Desktop/Kelvane"; do
    rm -f "$PREFIX/lib/kelvane/Kelvane.ini"
    (cd "$E2E_WORK/elsewhere" && exec "$launcher") &
    KELVANE_PID=$!
    E2E_PIDS+=("$KELVANE_PID")
    window=$(wait_window Kelvane) || fail "no start screen when started as $launcher"
    send_keys "$window" Escape
    wait_exit "$KELVANE_PID"
    expect_file "$PREFIX/lib/kelvane/Kelvane.ini" "$DEFAULT_SETTINGS"
    stray=$(find "$PREFIX/bin" "$HOME/Desktop" "$E2E_WORK/elsewhere" -name Kelvane.ini)
    [[ -z $stray ]] || fail "settings saved beside a link or in the working folder: $stray"
done
echo "ok: started through one or two links, the settings went beside the real executable"

# --- Reinstalling never touches the settings, the calibration among them -------------------
printf '[Screen]\r\nSCREENH= 612\r\nSCREENV= 598\r\n' >"$PREFIX/lib/kelvane/Kelvane.ini"
before=$(md5sum <"$PREFIX/lib/kelvane/Kelvane.ini")
install_to "$PREFIX" || fail "reinstall failed: $(cat "$INSTALL_LOG")"
[[ $(md5sum <"$PREFIX/lib/kelvane/Kelvane.ini") == "$before" ]] ||
    fail "reinstalling changed the settings file"
[[ $(readlink -f "$PREFIX/bin/kelvane") == "$PROGRAM" ]] || fail "reinstall broke the link"
echo "ok: a reinstall kept the settings file byte for byte"

# --- A prefix with characters that the launcher reads as syntax ----------------------------
ODD="$E2E_WORK/Dr O'Neil's \$HOME/.local"
install_to "$ODD" || fail "install into a folder with blanks failed: $(cat "$INSTALL_LOG")"
desktop-file-validate "$ODD/share/applications/$APP.desktop" ||
    fail "desktop-file-validate rejects the entry of an install with blanks in its path"
# Quoted for the launcher ($ escaped), then every backslash doubled for the file format.
expected="Exec=\"$E2E_WORK/Dr O'Neil's \\\\\$HOME/.local/lib/kelvane/kelvane\""
grep -qxF "$expected" "$ODD/share/applications/$APP.desktop" ||
    fail "Exec line $(grep ^Exec= "$ODD/share/applications/$APP.desktop"), expected $expected"
echo "ok: a path with blanks, quotes and \$ is quoted in the desktop entry"

# --- A staged install for a package names the final paths, not the staging folder ----------
STAGE=$E2E_WORK/stage
DESTDIR=$STAGE install_to /opt/kelvane-test || fail "staged install failed: $(cat "$INSTALL_LOG")"
[[ -x $STAGE/opt/kelvane-test/lib/kelvane/kelvane ]] || fail "staged program missing"
[[ $(readlink -f "$STAGE/opt/kelvane-test/bin/kelvane") == "$STAGE/opt/kelvane-test/lib/kelvane/kelvane" ]] ||
    fail "the staged link does not reach the staged program"
grep -qx 'Exec=/opt/kelvane-test/lib/kelvane/kelvane' \
    "$STAGE/opt/kelvane-test/share/applications/$APP.desktop" ||
    fail "the staged desktop entry names the staging folder"
echo "ok: a staged install names its final paths"

# --- A build folder's defaults: the usual prefix, the settings beside the program -----------
# Configured afresh (the program itself is not built again: the tests' program stands in for it,
# since only the install's layout is looked at).
SHARED_STATE=$E2E_WORK/state/kelvane
INSTALL_BUILD=$E2E_WORK/build-shared
cmake -S "$KELVANE_TESTS/.." -B "$E2E_WORK/build-default" -DBUILD_TESTING=OFF >"$E2E_WORK/configure.log" 2>&1 ||
    fail "configuring a build folder failed: $(cat "$E2E_WORK/configure.log")"
grep -qx 'CMAKE_INSTALL_PREFIX:PATH=/usr/local' "$E2E_WORK/build-default/CMakeCache.txt" ||
    fail "a new build folder installs into $(grep '^CMAKE_INSTALL_PREFIX' "$E2E_WORK/build-default/CMakeCache.txt"), not /usr/local"
grep -qx 'KELVANE_SETTINGS_DIR:STRING=' "$E2E_WORK/build-default/CMakeCache.txt" ||
    fail "a new build folder has a settings folder: $(grep '^KELVANE_SETTINGS_DIR' "$E2E_WORK/build-default/CMakeCache.txt")"
grep -q '^#define KELVANE_SETTINGS_DIR ""$' "$E2E_WORK/build-default/generated/app/installation.h" ||
    fail "the default build's program does not keep its settings beside itself"
cmake -S "$KELVANE_TESTS/.." -B "$INSTALL_BUILD" -DBUILD_TESTING=OFF -DKELVANE_SETTINGS_DIR="$SHARED_STATE/" \
    >"$E2E_WORK/configure.log" 2>&1 || fail "configuring a shared build failed: $(cat "$E2E_WORK/configure.log")"
grep -qF "#define KELVANE_SETTINGS_DIR \"$SHARED_STATE\"" "$INSTALL_BUILD/generated/app/installation.h" ||
    fail "the shared build's program is not told $SHARED_STATE: $(grep define "$INSTALL_BUILD/generated/app/installation.h")"
cp "$1" "$INSTALL_BUILD/kelvane"
cp "$(dirname "$1")/kelvane-print.so" "$INSTALL_BUILD/"
if cmake -S "$KELVANE_TESTS/.." -B "$E2E_WORK/build-relative" -DKELVANE_SETTINGS_DIR=var/kelvane >/dev/null 2>&1; then
    fail "a relative settings folder was accepted"
fi
echo "ok: a new build folder installs into /usr/local and keeps the settings beside the program"

# --- A shared install: the group saves the settings, and only those ------------------------
SHARED=$E2E_WORK/shared
group=$(id -gn)
# An earlier shared install kept the settings in the program folder, which its group could write.
mkdir -p "$SHARED/lib/kelvane"
printf '[Screen]\r\nSCREENH= 612\r\nSCREENV= 598\r\n' >"$SHARED/lib/kelvane/Kelvane.ini"
before=$(md5sum <"$SHARED/lib/kelvane/Kelvane.ini")
chmod 600 "$SHARED/lib/kelvane/Kelvane.ini"
chmod 2775 "$SHARED/lib/kelvane"
(umask 002 && install_to "$SHARED" -DKELVANE_SHARED_GROUP="$group") ||
    fail "shared install failed: $(cat "$INSTALL_LOG")"
owner_only "$SHARED/lib/kelvane" ||
    fail "the shared program folder is $(stat -c %A "$SHARED/lib/kelvane"); the group may write: $(find "$SHARED/lib/kelvane" -perm /022)"
[[ $(stat -c '%a %G' "$SHARED_STATE") == "2770 $group" ]] ||
    fail "the settings folder is $(stat -c '%a %G' "$SHARED_STATE"), expected 2770 $group"
[[ ! -e $SHARED/lib/kelvane/Kelvane.ini && $(md5sum <"$SHARED_STATE/Kelvane.ini") == "$before" ]] ||
    fail "the earlier install's settings were not moved to $SHARED_STATE byte for byte"
[[ $(stat -c %a "$SHARED_STATE/Kelvane.ini") == 660 ]] ||
    fail "the kept settings file is $(stat -c %a "$SHARED_STATE/Kelvane.ini") after a shared install"
! tr -s ' \n' ' ' <"$INSTALL_LOG" | grep -q 'which only root can write' || fail "a shared install warned anyway"
# Again, over a settings file in the new place: it stays; an old one is not moved over it.
printf '[Screen]\nSCREENH= 111\n' >"$SHARED/lib/kelvane/Kelvane.ini"
install_to "$SHARED" -DKELVANE_SHARED_GROUP="$group" || fail "shared reinstall failed"
[[ $(md5sum <"$SHARED_STATE/Kelvane.ini") == "$before" ]] || fail "a reinstall replaced the shared settings"
rm "$SHARED/lib/kelvane/Kelvane.ini"
if install_to "$E2E_WORK/nogroup" -DKELVANE_SHARED_GROUP=kelvane-no-such-group; then
    fail "an install for a group that does not exist succeeded"
fi
# A group without a settings folder would need a program folder that the group can write.
if INSTALL_BUILD=$BUILD install_to "$E2E_WORK/nofolder" -DKELVANE_SHARED_GROUP="$group"; then
    fail "a shared install without a settings folder succeeded: $(stat -c %A "$E2E_WORK/nofolder/lib/kelvane")"
fi
grep -q 'KELVANE_SETTINGS_DIR' "$INSTALL_LOG" || fail "the refused shared install did not say why: $(cat "$INSTALL_LOG")"
echo "ok: a shared install gives the group a settings folder of its own and keeps the program folder read-only"
