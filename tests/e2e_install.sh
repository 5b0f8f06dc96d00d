#!/usr/bin/env bash
# The install: a per-user layout whose program folder keeps the settings, a launcher link that
# finds that folder, a desktop entry and metainfo that the desktop's own validators accept, and
# the staged, shared and unusual-path variants of the same install.
source "$KELVANE_TESTS/e2e_lib.sh"

BUILD=$(dirname "$1")
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
APP=org.kelvane.Kelvane

install_to() { # install_to <prefix> [cmake -P options...]: the install's output in INSTALL_LOG
    local prefix=$1
    shift
    INSTALL_LOG=$E2E_WORK/install.log
    cmake -DCMAKE_INSTALL_PREFIX="$prefix" "$@" -P "$BUILD/cmake_install.cmake" >"$INSTALL_LOG" 2>&1
}

# --- A per-user install: every part where the desktop looks for it -------------------------
HOME=$E2E_WORK/home
PREFIX=$HOME/.local
install_to "$PREFIX" || fail "per-user install failed: $(cat "$INSTALL_LOG")"
PROGRAM=$PREFIX/lib/kelvane/kelvane
[[ -x $PROGRAM ]] || fail "no program at $PROGRAM"
[[ -L $PREFIX/bin/kelvane ]] || fail "bin/kelvane is not a link"
[[ $(readlink "$PREFIX/bin/kelvane") == ../lib/kelvane/kelvane ]] ||
    fail "bin/kelvane points at $(readlink "$PREFIX/bin/kelvane"), not relatively at the program"
[[ -w $PREFIX/lib/kelvane && $(stat -c %A "$PREFIX/lib/kelvane") == drwx* ]] ||
    fail "the program folder is not writable by its owner: $(stat -c %A "$PREFIX/lib/kelvane")"
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

# --- A shared install: the group of its users can save the settings ------------------------
SHARED=$E2E_WORK/shared
group=$(id -gn)
install_to "$SHARED" -DKELVANE_SHARED_GROUP="$group" || fail "shared install failed: $(cat "$INSTALL_LOG")"
[[ $(stat -c '%a %G' "$SHARED/lib/kelvane") == "2775 $group" ]] ||
    fail "shared program folder is $(stat -c '%a %G' "$SHARED/lib/kelvane"), expected 2775 $group"
! tr -s ' \n' ' ' <"$INSTALL_LOG" | grep -q 'which only root can write' || fail "a shared install warned anyway"
# A settings file left unreadable to the group by an earlier install is opened up to it.
printf '[Screen]\nSCREENH= 612\n' >"$SHARED/lib/kelvane/Kelvane.ini"
chmod 600 "$SHARED/lib/kelvane/Kelvane.ini"
install_to "$SHARED" -DKELVANE_SHARED_GROUP="$group" || fail "shared reinstall failed"
[[ $(stat -c %a "$SHARED/lib/kelvane/Kelvane.ini") == 660 ]] ||
    fail "the kept settings file is $(stat -c %a "$SHARED/lib/kelvane/Kelvane.ini") after a shared install"
if install_to "$E2E_WORK/nogroup" -DKELVANE_SHARED_GROUP=kelvane-no-such-group; then
    fail "an install for a group that does not exist succeeded"
fi
echo "ok: a shared install gives the folder to the group; an unknown group stops the install"
