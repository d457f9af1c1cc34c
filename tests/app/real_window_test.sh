#!/usr/bin/env bash
# Drives the real darkfill window under a virtual display as a user would: opens a
# picture with Button1, analyses it with Button2, checks the right pane's pixels
# against the analysis, saves the result with Ctrl+S and checks the file, then
# opens a damaged file and checks that the window shows a message and keeps working. (Without a window manager nothing can ask
# the window to close, so the test ends the program itself.) Runs on the display
# that it is given, a virtual one from xvfb-run:
#   xvfb-run -a -s "-screen 0 1024x768x24" real_window_test.sh DARKFILL WINDOW_CHECK [SCREENSHOT_TO_KEEP]
set -euo pipefail

darkfill=$1
check=$2
keep=${3:-}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

: "${DISPLAY:?this test needs a display: run it under xvfb-run}"
"$check" picture "$work/picture.png"
head -c 300 "$work/picture.png" >"$work/damaged.png"

unset QT_QPA_PLATFORM
"$darkfill" >"$work/darkfill.log" 2>&1 &
app=$!

window=$(xdotool search --sync --onlyvisible --name '^Form1$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$window")"
left=$X
top=$Y

# Clicks a button of the main window at its centre.
click() { xdotool mousemove --sync $((left + $1)) $((top + $2)) click 1; }

# Types a path into the file dialog with the given title and presses Return. A slow
# build (the sanitizers) can show the dialog before its name field takes keys, so
# the path is typed again over what the field holds until the dialog closes.
enter_path() {
    local dialog
    dialog=$(xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
    for pause in 0.3 1 2; do
        xdotool windowfocus --sync "$dialog"
        sleep "$pause"
        xdotool key ctrl+a
        xdotool type --delay 2 "$2"
        xdotool key Return
        for _ in $(seq 50); do
            xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
            sleep 0.1
        done
    done
    echo "the $1 dialog did not close"
    return 1
}

# Chooses a file through the open dialog.
choose() {
    click 173 412
    enter_path Open "$1"
}

choose "$work/picture.png"
sleep 0.5
click 301 412
sleep 3
import -window root "$work/shot.png"
"$check" verify "$work/picture.png" "$work/shot.png" "$left" "$top"
[ -z "$keep" ] || convert "$work/shot.png" -crop "688x446+$left+$top" +repage "$keep"

# Saves the result with Ctrl+S through the save dialog, as a user would.
xdotool windowfocus --sync "$window"
xdotool key ctrl+s
enter_path 'Save As' "$work/saved.png"
for _ in $(seq 50); do [ -s "$work/saved.png" ] && break; sleep 0.1; done
"$check" saved "$work/picture.png" "$work/saved.png"

choose "$work/damaged.png"
message=""
for _ in $(seq 50); do
    message=$(xdotool search --onlyvisible --name 'darkfill' 2>/dev/null | head -n 1 || true)
    [ -n "$message" ] && break
    sleep 0.1
done
[ -n "$message" ] || { echo "no message was shown for the damaged file"; exit 1; }
xdotool windowfocus --sync "$message"
xdotool key Return
sleep 0.5
kill -0 "$app" || { echo "darkfill ended after the damaged file"; exit 1; }
import -window root "$work/after.png"
"$check" verify "$work/picture.png" "$work/after.png" "$left" "$top"

kill "$app"
echo "real window: picture analysed, result saved, damaged file refused, the window kept working"
