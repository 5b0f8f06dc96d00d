#!/usr/bin/env bash
# The start screen as the user sees it: a screenshot of the real program, with the title
# picture's sky-blue panel and the three option frames where the design puts them.
source "$KELVANE_TESTS/e2e_lib.sh"

# A desktop that asks Qt to scale everything up changes nothing: positions are screen pixels.
export QT_SCALE_FACTOR=2 QT_ENABLE_HIGHDPI_SCALING=1
start_kelvane
wait_window Kelvane >/dev/null || fail "start screen did not appear"
shot=$E2E_WORK/start.png

pixel() { convert "$shot" -format "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]" \
    -crop "1x1+$1+$2" +repage info:; }
expect_pixel() { # expect_pixel <x> <y> <r,g,b> <what>
    local actual
    actual=$(pixel "$1" "$2")
    [[ $actual == "$3" ]] || fail "$4 at ($1, $2) is $actual, expected $3"
}

# The window paints asynchronously after mapping: wait for the title panel to show.
for ((i = 0; i < 100; i++)); do
    import -window root "$shot"
    [[ $(pixel 439 353) == 166,202,240 ]] && break
    sleep 0.1
done

# At 96 dpi the design's twips come to 15 a pixel.
expect_pixel 20 20 128,128,128 "the screen's grey"
expect_pixel 313 257 166,202,240 "title panel, top left"
expect_pixel 565 450 166,202,240 "title panel, bottom right"
expect_pixel 566 451 128,128,128 "beside the title panel"
expect_pixel 70 218 192,192,192 "Filter frame"
expect_pixel 300 170 192,192,192 "Target frame"
expect_pixel 444 170 192,192,192 "Fix Eye frame"
expect_pixel 270 170 128,128,128 "between the frames"
if [[ -n ${KELVANE_SCREENSHOT:-} ]]; then cp "$shot" "$KELVANE_SCREENSHOT"; fi
echo "ok: title panel and frames found on the screenshot"
