# Desktops for the end-to-end tests, sourced after e2e_lib.sh: a window manager and its panel
# on the test's Xvfb display, as clinicians' desktops have them, and what the tests read off the
# windows there (geometry, window-manager state, icon) and off screenshots (stray pixels, text).

SCREEN_W=${KELVANE_SCREEN%x*}
SCREEN_H=${KELVANE_SCREEN#*x}

# A home of the test's own: the panels write their first-start configuration there, and their
# settings daemon may still be writing it while the test ends, so the home goes last and is
# given a moment.
DESKTOP_HOME=$(mktemp -d)
DESKTOP_LOG=$DESKTOP_HOME/desktop.log
desktop_cleanup() {
    local i
    e2e_cleanup
    for ((i = 0; i < 50; i++)); do
        rm -rf "$DESKTOP_HOME" 2>/dev/null && return 0
        sleep 0.1
    done
    return 0
}
trap desktop_cleanup EXIT
export HOME=$DESKTOP_HOME XDG_CONFIG_HOME=$DESKTOP_HOME/.config XDG_CACHE_HOME=$DESKTOP_HOME/.cache
export XDG_DATA_HOME=$DESKTOP_HOME/.local/share
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
unset SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS

# Starts a desktop program in the background, its output in the desktop log; the output must
# not go to the test's own, or a helper it leaves behind would keep ctest waiting.
desktop_start() {
    "$@" >>"$DESKTOP_LOG" 2>&1 </dev/null &
    E2E_PIDS+=($!)
    disown $!
}

# KELVANE_E2E_KEEP_GOING=1 reports every failed check and goes on, to see at once all that fails.
if [[ -n ${KELVANE_E2E_KEEP_GOING:-} ]]; then
    fail() { echo "FAIL: $*" >&2; }
fi

desktop_fail() {
    echo "--- desktop log:" >&2
    tail -n 30 "$DESKTOP_LOG" >&2 || true
    fail "$@"
}

# Waits (up to 20 s) until the window manager announces itself and a panel has told it the
# strip it keeps for itself: the work area then leaves the panel out.
wait_desktop() {
    local i
    for ((i = 0; i < 400; i++)); do
        if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
            [[ $(work_area) != "0 0 $SCREEN_W $SCREEN_H" ]]; then
            return 0
        fi
        sleep 0.05
    done
    desktop_fail "the window manager or its panel did not come up"
}

# xfwm4 with the xfce4-panel on a session bus of its own, through which the panel reaches its
# settings daemon (xfconfd, started by the bus on demand).
start_xfce() {
    local address pid
    {
        read -r address
        read -r pid
    } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>>"$DESKTOP_LOG")
    [[ -n $pid ]] || desktop_fail "no session bus"
    E2E_PIDS+=("$pid")
    export DBUS_SESSION_BUS_ADDRESS=$address
    desktop_start xfwm4 --compositor=off
    desktop_start xfce4-panel
    wait_desktop
}

# Openbox with tint2, the panel at the bottom.
start_openbox() {
    desktop_start openbox
    desktop_start tint2
    wait_desktop
}

# The window manager's work area: the screen without the panels' strips, "x y width height".
work_area() {
    xprop -root -notype _NET_WORKAREA 2>/dev/null |
        awk -F'[=,]' '/_NET_WORKAREA/ {gsub(/ /, ""); print $2, $3, $4, $5; exit}'
}

# A window's client area on the screen, "x y width height".
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /^ *Width:/ {w = $NF} /^ *Height:/ {h = $NF} END {print x, y, w, h}'
}

# The frame the window manager draws around a client, "left right top bottom" (0 0 0 0 without).
frame_extents() {
    local extents
    extents=$(xprop -id "$1" -notype _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ,)
    echo "${extents:-0 0 0 0}"
}

# The window-manager states of a window, one per line without the prefix (FULLSCREEN, ...).
window_states() {
    xprop -id "$1" -notype _NET_WM_STATE 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ' | tr , '\n' |
        sed 's/^_NET_WM_STATE_//'
}
has_state() { window_states "$1" | grep -qx "$2"; }

# Waits (up to 10 s) for a window to carry a state; fails the test with what it carries.
expect_state() { # expect_state <window> <state> <what>
    local i
    for ((i = 0; i < 200; i++)); do
        has_state "$1" "$2" && return 0
        sleep 0.05
    done
    fail "$3 does not carry _NET_WM_STATE_$2: $(window_states "$1" | tr '\n' ' ')"
}

# Waits (up to 10 s) until a window's client area is the rectangle; fails with where it is.
expect_geometry() { # expect_geometry <window> <"x y w h"> <what>
    local i
    for ((i = 0; i < 200; i++)); do
        [[ $(window_geometry "$1") == "$2" ]] && return 0
        sleep 0.05
    done
    fail "$3 covers $(window_geometry "$1"), not $2"
}

# The window that has the keyboard, as the window manager announces it and as X has it.
expect_focused() { # expect_focused <window> <what>
    local i active focus
    for ((i = 0; i < 200; i++)); do
        active=$(xdotool getactivewindow 2>/dev/null || true)
        focus=$(xdotool getwindowfocus 2>/dev/null || true)
        [[ $active == "$1" && $focus == "$1" ]] && return 0
        sleep 0.05
    done
    fail "$2 does not have the focus: active window $active, focus $focus, expected $1"
}

# The window's icon in the form the task lists read, _NET_WM_ICON: width, height and ARGB
# pixels of each size, as decimal numbers separated by blanks; empty without an icon.
window_icon() {
    xprop -id "$1" -notype 32c _NET_WM_ICON 2>/dev/null | sed -n 's/^_NET_WM_ICON = //p' | tr -d ,
}

# The program's icon on every window: set, and showing its red ring and blue cross.
expect_icon() { # expect_icon <window> <what>
    local icon tries=0
    # The icon comes a moment after the window's first frame.
    while icon=" $(window_icon "$1") "; [[ $icon == "  " ]] && ((tries++ < 30)); do sleep 0.1; done
    [[ $icon != "  " ]] || fail "$2 carries no icon (_NET_WM_ICON)"
    # Opaque #ff2020 and #3060ff, inside the ring's and the cross's strokes.
    [[ $icon == *" $((0xffff2020)) "* && $icon == *" $((0xff3060ff)) "* ]] ||
        fail "$2 carries an icon that is not the program's"
}

# Fonts: the desktop's font dpi, as desktops set it for scaled text. Qt reads it when the
# program starts, so it must be set before.
set_font_dpi() {
    echo "Xft.dpi: $1" | xrdb -merge
}

# What a shot shows outside the given rectangles ("WxH+X+Y"): the number of pixels that are
# not black, and the box around them ("WxH+X+Y"), as "<count> <box>". "0 ..." when all black.
stray_pixels() { # stray_pixels <shot> <rectangle>...
    local name=$1 r draw=()
    shift
    for r in "$@"; do
        local w=${r%%x*} rest=${r#*x}
        local h=${rest%%+*} x=${rest#*+}
        local y=${x#*+}
        x=${x%%+*}
        draw+=(-draw "rectangle $x,$y $((x + w - 1)),$((y + h - 1))")
    done
    convert "$SHOTS/$name.png" -fill black "${draw[@]}" -fill white +opaque black \
        -colorspace gray -format '%[fx:int(mean*w*h+0.5)] ' -write info: -trim -format '%wx%h%O' info: 2>/dev/null
}

# Rows of text in a shot's area: one line "top height left width" (relative to the area) for
# each band of rows that holds anything but black, from the top. Text drawn over text, or cut
# by the label drawn after it, shows as one band too tall or as a band too short for its font.
text_bands() { # text_bands <shot> <rectangle>
    local height=${2#*x}
    height=${height%%+*}
    convert "$SHOTS/$1.png" -crop "$2" +repage -colorspace gray -depth 8 txt:- |
        awk -F'[,:]' -v height="$height" 'NR > 1 && !/#000000/ {
            x = $1 + 0; y = $2 + 0
            if (!(y in left) || x < left[y]) left[y] = x
            if (!(y in right) || x > right[y]) right[y] = x
        }
        END {
            for (y = 0; y <= height; y++) {
                if (y in left) {
                    if (!open) { top = y; l = left[y]; r = right[y]; open = 1 }
                    if (left[y] < l) l = left[y]
                    if (right[y] > r) r = right[y]
                } else if (open) {
                    print top, y - top, l, r - l + 1
                    open = 0
                }
            }
        }'
}

# The box of a text as the font draws it ("width height"), bold sans at a point size and dpi.
text_size() { # text_size <text> <points> <dpi>
    convert -background black -fill white -font DejaVu-Sans-Bold -density "$3" -pointsize "$2" \
        label:"$1" -trim -format '%w %h' info:
}

# The measurement screen's places on this screen with the target in the centre: the ring's box
# (43 x 43 from its top left corner), the reference point 6 pixels inside it, and the top right
# corner where the results stand.
RING_X=$(((SCREEN_W - 42) / 2)) RING_Y=$(((SCREEN_H - 42) / 2))
RING="43x43+$RING_X+$RING_Y"
REF_X=$((RING_X + 6)) REF_Y=$((RING_Y + 6))
CORNER="400x200+$((SCREEN_W - 400))+0"

# Red/blue glasses, the target in the centre, the left eye fixing: the blue ring. 500 pixels
# make 150 mm both ways, so n pixels of offset are n / 20 prism dioptres.
write_settings() {
    printf '[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 500\nSCREENV= 500\n' >"$SETTINGS"
}

# The box around whatever is not black in the top right corner of a shot: the results.
results_box() {
    convert "$SHOTS/$1.png" -crop "$CORNER" +repage -trim -format '%w %h %X %Y' info: |
        awk -v x0=$((SCREEN_W - 400)) '{printf "%dx%d+%d+%d\n", $1, $2, x0 + $3, $4}'
}

# Clicks at a screen pixel and waits until the top right corner changes: the results show.
click_results() { # click_results <shot name> <x> <y>
    local before=$1-before i
    settled_shot "$before"
    convert "$SHOTS/$before.png" -crop "$CORNER" +repage "$SHOTS/$before-corner.png"
    xdotool mousemove "$2" "$3" sleep 0.1 click 1
    for ((i = 0; i < 200; i++)); do
        shot "$1"
        convert "$SHOTS/$1.png" -crop "$CORNER" +repage "$SHOTS/$1-corner.png"
        same "$SHOTS/$1-corner.png" "$SHOTS/$before-corner.png" || break
        sleep 0.05
    done
    ((i < 200)) || fail "a click at ($2, $3) showed no results"
    settled_shot "$1"
}

# The whole road on a bare X server, as it has always run: "Start", a click at the pixel, the
# screen as it then shows, Esc, Esc, and the result discarded. The same road on a desktop must show the same screen.
measure_without_desktop() { # measure_without_desktop <shot name> <x> <y>
    write_settings
    start_kelvane
    local start form1
    start=$(wait_window Kelvane) || fail "start screen did not appear without a desktop"
    # Nobody maximizes it there: it takes the screen itself.
    expect_geometry "$start" "0 0 $SCREEN_W $SCREEN_H" "the start screen without a desktop"
    send_keys "$start" Return
    form1=$(wait_window Form1) || fail "\"Start\" did not open the measurement screen without a desktop"
    click_results "$1" "$2" "$3"
    send_keys "$form1" Escape
    start=$(wait_window Kelvane) || fail "Esc did not bring back the start screen without a desktop"
    exit_discarding "$start" "$KELVANE_PID"
}

# On the desktop: "Start" opens the measurement screen full screen, a click at the pixel shows
# exactly the screen it shows without a desktop (the ring where the full screen puts it, the same
# results, and nothing else), and Esc brings back the start screen with the keyboard.
# Leaves the start screen's window in START.
measure_on_desktop() { # measure_on_desktop <bare shot name> <x> <y> <desktop name>
    local bare=$1 name=$4 form1 stray results
    write_settings
    start_kelvane
    START=$(wait_window Kelvane) || fail "start screen did not appear on $name"
    expect_state "$START" MAXIMIZED_VERT "the start screen on $name"
    expect_state "$START" MAXIMIZED_HORZ "the start screen on $name"
    send_keys "$START" Return
    form1=$(wait_window Form1) || fail "\"Start\" did not open the measurement screen on $name"
    expect_state "$form1" FULLSCREEN "the measurement screen on $name"
    expect_geometry "$form1" "0 0 $SCREEN_W $SCREEN_H" "the measurement screen on $name"
    echo "ok: the measurement screen is full screen on $name and covers $SCREEN_W x $SCREEN_H"
    [[ -z ${CHECK_ICONS:-} ]] || expect_icon "$form1" "the measurement screen"

    click_results desktop "$2" "$3"
    results=$(results_box "$bare")
    stray=$(stray_pixels desktop "$RING" "$results")
    [[ $stray == "0 "* ]] ||
        fail "on $name the measurement screen shows more than the ring and the results: $stray"
    stray=$(stray_pixels "$bare" "$RING" "$results")
    [[ $stray == "0 "* ]] || fail "without a desktop the screen shows more than the ring and the results: $stray"
    same "$SHOTS/desktop.png" "$SHOTS/$bare.png" ||
        fail "on $name the measurement screen after a click at ($2, $3) differs from the one without a desktop"
    echo "ok: on $name only the ring and the results show, and a click reads as without a desktop"

    # The start screen comes back with the keyboard: a key pressed without aiming at a window
    # reaches it.
    xdotool key Escape
    START=$(wait_window Kelvane) || fail "Esc did not bring back the start screen on $name"
    expect_focused "$START" "the start screen after Esc on $name"
    expect_state "$START" MAXIMIZED_VERT "the start screen after Esc on $name"
    echo "ok: Esc brought back the start screen on $name, maximized and with the keyboard"
}

# The start screen, restored from maximized by the window manager, takes the design's client
# area (10908 x 7992 twips at the font dpi) whole on the screen, clear of the panels.
expect_restored_start() { # expect_restored_start <window> <dpi> <desktop name>
    local w=$(((10908 * $2 + 720) / 1440)) h=$(((7992 * $2 + 720) / 1440))
    local x y cw ch left right top bottom ax ay aw ah i
    wmctrl -i -r "$1" -b remove,maximized_vert,maximized_horz
    for ((i = 0; i < 200; i++)); do
        read -r x y cw ch <<<"$(window_geometry "$1")"
        ! has_state "$1" MAXIMIZED_VERT && ((cw == w && ch == h)) && break
        sleep 0.05
    done
    ((cw == w && ch == h)) || fail "restored on $3, the start screen is ${cw}x$ch, not ${w}x$h"
    read -r left right top bottom <<<"$(frame_extents "$1")"
    read -r ax ay aw ah <<<"$(work_area)"
    ((x >= ax && y >= ay && x + cw <= ax + aw && y + ch <= ay + ah)) ||
        fail "restored on $3, the start screen's ${cw}x$ch at $x,$y is not inside the work area $ax,$ay ${aw}x$ah"
    ((x - left >= 0 && y - top >= 0 && x + cw + right <= SCREEN_W && y + ch + bottom <= SCREEN_H)) ||
        fail "restored on $3, the start screen's frame reaches off the screen"
    echo "ok: restored on $3, the start screen is ${w}x$h, whole on the screen"
}

# The three result lines in the top right corner of a shot each show their whole text, inside
# the screen and apart from each other: three bands of text rows, each at least as wide and as
# high as the bold 7.8 point font draws its text at the font dpi (less two pixels for hinting),
# none taller than that (two lines drawn over each other), none touching the screen's edge.
expect_readable_results() { # expect_readable_results <shot> <dpi> <HPD text> <VPD text> <PDEye text>
    local shot=$1 dpi=$2 bands i top height left width want_w want_h
    shift 2
    bands=$(text_bands "$shot" "$CORNER")
    [[ $(wc -l <<<"$bands") == 3 ]] ||
        fail "at $dpi dpi the results show as $(wc -l <<<"$bands") lines of text, not 3: $(tr '\n' ';' <<<"$bands")"
    i=0
    while read -r top height left width; do
        local text=${*:i+1:1}
        read -r want_w want_h <<<"$(text_size "$text" 7.8 "$dpi")"
        ((width >= want_w - 2 && height >= want_h - 2)) ||
            fail "at $dpi dpi \"$text\" shows cut: ${width}x$height pixels of ${want_w}x$want_h"
        ((height <= want_h + 2)) ||
            fail "at $dpi dpi \"$text\" runs into the next line: $height rows high, the text $want_h"
        ((left + width < 400)) || fail "at $dpi dpi \"$text\" reaches the screen's right edge"
        ((top > 0 || i > 0)) || fail "at $dpi dpi \"$text\" reaches the screen's top edge"
        ((i += 1))
    done <<<"$bands"
}

# Where a picture cut from an earlier shot stands, pixel for pixel, inside an area of a shot:
# "x y" of its top left corner on the screen, nothing when it is not there whole. Each row of
# the area, as hex text, is searched for the picture's middle row; a hit is then checked whole.
find_picture() { # find_picture <shot> <picture file> <area WxH+X+Y>
    local shot=$1 picture=$2 area=$3 pw ph aw ah ax ay row pattern line offset x y
    read -r pw ph <<<"$(identify -format '%w %h' "$picture")"
    aw=${area%%x*} ah=${area#*x}
    ax=${ah#*+} ah=${ah%%+*}
    ay=${ax#*+} ax=${ax%%+*}
    row=$((ph / 2))
    pattern=$(convert "$picture" -crop "${pw}x1+0+$row" +repage -depth 8 rgb:- | od -An -v -tx1 | tr -d ' \n')
    convert "$SHOTS/$shot.png" -crop "$area" +repage -depth 8 rgb:- | od -An -v -tx1 -w$((aw * 3)) |
        tr -d ' ' | grep -n -o -b "$pattern" | while IFS=: read -r line offset _; do
        offset=$((offset - (line - 1) * (aw * 6 + 1)))
        ((offset % 6 == 0)) || continue
        x=$((ax + offset / 6)) y=$((ay + line - 1 - row))
        ((y >= ay && y + ph <= ay + ah)) || continue
        convert "$SHOTS/$shot.png" -crop "${pw}x$ph+$x+$y" +repage "$SHOTS/found.png"
        if same "$SHOTS/found.png" "$picture"; then
            echo "$x $y"
            break
        fi
    done || true
}

# The Hess test just opened from the start screen, on a screen of <w> x <h>: full screen over
# the panels, the centre's red ring (OD fixing) alone beside the clinician's lines in the top
# right corner, standing where e2e_hess finds it on a bare server; a real click 12 right of and
# 6 above its reference point records the point and brings the ring above it, 1200 tan 15°
# (321.5) pixels higher, at the whole pixel 322 higher. Leaves the window in HESS.
HESS_SETTINGS='[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 1\n[Screen]\nSCREENH= 300\nSCREENV= 300\n'
hess_first_point() { # hess_first_point <w> <h> <desktop name>
    local x=$((($1 - 42) / 2)) y=$((($2 - 42) / 2)) box
    HESS=$(wait_window 'Hess test') || fail "the Hess test did not open on $3"
    expect_state "$HESS" FULLSCREEN "the Hess test on $3"
    expect_geometry "$HESS" "0 0 $1 $2" "the Hess test on $3"
    # With the keyboard, the window manager lifts it over the panels.
    expect_focused "$HESS" "the Hess test on $3"
    wait_ring_at "$x" "$y" red
    box=$(convert "$SHOTS/ring.png" -fill black -draw "rectangle $(($1 - 400)),0 $1,80" -trim -format '%wx%h%O' info:)
    [[ $box == "43x43+$x+$y" ]] || fail "on $3 the Hess test shows $box, not the ring alone at ($x, $y)"
    xdotool mousemove $((x + 18)) "$y" click 1
    wait_ring_at "$x" $((y - 322)) red
}
