#!/usr/bin/env bash
# The console window under Wine, on an Xvfb display of its own: StartConsole waits for the
# first paint and at least 20 ms, but not for a minimised window, and answers false when the
# window cannot be made; class "PROMPT" and caption "BASIC PROMPT" until the title is
# set; typed keys change nothing on the screen; closing the window ends the process with exit
# code 0 after the closed handler; and both ways of drawing give the same pixels. Leaves a
# screenshot of the console with Japanese text in WORK_DIR/console.png.
# Usage: console_window_test.sh console_probe.exe SOURCE_DIR WORK_DIR
set -uo pipefail

probe=$(realpath "$1")
source_dir=$(realpath "$2")
work=$(realpath -m "$3")
wine_run=$source_dir/tools/wine-run
mkdir -p "$work"
cd "$work" || exit 1
rm -f report*.txt* pixels-*.ppm screen-*.png console.png

source "$source_dir/tests/win32/wine-test-lib.sh"
probe_pid=''
cleanup() {
    [[ -n $probe_pid ]] && kill "$probe_pid" 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT

start_xvfb "$work" || { note "no X display"; exit 1; }
note "display $DISPLAY"
close_window=$work/close_window
build_close_window "$source_dir" "$close_window" || exit 1

value() { tr -d '\r' <"$2" | sed -n "s/^$1=//p" | tail -n 1; }  # value KEY REPORT
window_shot() {  # window_shot FILE: the window's part of the screen
    local geometry
    geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$4}
        /Absolute upper-left Y/ {y=$4} /Width/ {w=$2} /Height/ {h=$2}
        END {printf "%dx%d+%d+%d", w, h, x, y}')
    import -window root -crop "$geometry" +repage "$1"
}
same_pictures() { [[ $(compare -metric AE "$1" "$2" null: 2>&1) == 0 ]]; }

# --- start-up, class, caption --------------------------------------------------------------
note "starting the probe (the first run makes the Wine prefix: minutes)"
"$wine_run" "$probe" report.txt &
probe_pid=$!
if ! until_true 1500 grep -q '^printed=' report.txt 2>/dev/null; then
    note "the probe did not print; its report:"
    cat report.txt 2>/dev/null
    exit 1
fi
check "StartConsole answers true" [ "$(value started report.txt)" = yes ]
start_ms=$(value start_ms report.txt)
note "StartConsole returned after $start_ms ms"
check "StartConsole waits at least 20 ms" awk -v t="$start_ms" 'BEGIN { exit !(t >= 20) }'
check "the window has been painted when StartConsole returns" \
    [ "$(value paint_pending report.txt)" = no ]
check "ConsoleWindowHandle is a visible window" [ "$(value window_valid report.txt)" = yes ]
check "the window class is PROMPT" [ "$(value class report.txt)" = PROMPT ]
check "the caption is BASIC PROMPT" [ "$(value caption report.txt)" = "BASIC PROMPT" ]

window=''
find_window() { window=$(xdotool search --name '^BASIC PROMPT$' 2>/dev/null | head -n 1); [[ -n $window ]]; }
if ! until_true 60 find_window; then
    note "no window named BASIC PROMPT on the display"
    failed=$((failed + 1))
    finish console_window_test
    exit
fi
check "X sees the caption BASIC PROMPT" \
    [ "$(xprop -id "$window" _NET_WM_NAME)" = '_NET_WM_NAME(UTF8_STRING) = "BASIC PROMPT"' ]
note "X window $window, $(xprop -id "$window" WM_CLASS)"

# --- typed keys ----------------------------------------------------------------------------
# Wine shows drawing on the screen a little later; wait until the picture holds still.
xdotool windowfocus --sync "$window" 2>/dev/null
settled() {
    window_shot screen-a.png && sleep 1 && window_shot screen-b.png && same_pictures screen-a.png screen-b.png
}
check "the console's picture settles" until_true 60 settled
cp screen-b.png console.png
xdotool key --window "$window" a b c Return space BackSpace Tab Escape F1 Left Down Delete
sleep 3
window_shot screen-keys.png
check "typed keys change nothing on the screen" same_pictures console.png screen-keys.png

# --- the title -----------------------------------------------------------------------------
touch report.txt.title
check "SetConsoleTitle succeeds" until_true 60 grep -q '^title_set=yes' report.txt
title_utf8=$'Horofu\xe3\x80\x80Ver. 1.00'  # the space is the full-width one
title_is_set() { [[ $(xprop -id "$window" _NET_WM_NAME) == "_NET_WM_NAME(UTF8_STRING) = \"$title_utf8\"" ]]; }
check "the caption becomes the program's title" until_true 30 title_is_set

# --- closing -------------------------------------------------------------------------------
"$close_window" "$window"
if until_true 120 bash -c "! kill -0 $probe_pid 2>/dev/null"; then
    wait "$probe_pid"
    status=$?
    probe_pid=''
    check "closing the window ends the process with exit code 0" [ "$status" = 0 ]
    check "the closed handler ran first" [ "$(value closed_handler report.txt)" = ran ]
else
    note "the probe still runs after its window was closed"
    failed=$((failed + 1))
fi

# --- a console that cannot paint, or cannot be made ---------------------------------------
# Started minimised (a shortcut set to "Minimized"), the window gets no paint until restored:
# StartConsole must come back all the same.
"$wine_run" "$probe" report-min.txt minimized >/dev/null 2>&1 &
probe_pid=$!
if until_true 600 grep -q '^printed=' report-min.txt 2>/dev/null; then
    check "a minimised console is taken as shown" [ "$(value iconic report-min.txt)" = yes ]
    note "StartConsole returned after $(value start_ms report-min.txt) ms, minimised"
    window=''
    until_true 60 find_window && "$close_window" "$window"
else
    note "StartConsole did not return for a minimised window"
    failed=$((failed + 1))
fi
until_true 120 bash -c "! kill -0 $probe_pid 2>/dev/null" || kill "$probe_pid"
wait "$probe_pid"
probe_pid=''
"$wine_run" "$probe" report-taken.txt taken >/dev/null 2>&1
check "StartConsole answers false when the window cannot be made" \
    [ "$(value started report-taken.txt)" = no ]

# --- the same pixels either way ------------------------------------------------------------
for way in runs chars; do
    "$wine_run" "$probe" "report-$way.txt" "$way" "pixels-$way" >/dev/null 2>&1
    check "pixels drawn by $way saved" [ "$(value dump "report-$way.txt")" = ok ]
done
check "pixels after scrolling are the same either way" cmp -s pixels-runs-1.ppm pixels-chars-1.ppm
check "pixels with stray bytes are the same either way" cmp -s pixels-runs-2.ppm pixels-chars-2.ppm

finish console_window_test
