#!/usr/bin/env bash
# Horofu.exe as a user meets it, under Wine on an Xvfb display of its own: the command line or
# the open dialog, the save dialog, the console's echo, the messages, exit codes, the page and
# what a failure or a closed console leaves behind; screenshots on the way (WORK_DIR/shots).
# Usage: e2e_test.sh Horofu.exe window_texts.exe SOURCE_DIR WORK_DIR
# HOROFU_E2E_DISPLAY=:N picks the display (default: the first free one), HOROFU_E2E_RUNS the
# runs (default: all; names at the end of this file). The Wine prefix is a
# copy of the build's (made through tools/wine-run when missing), so that this script can end
# its own Wine server without touching other tests.
set -uo pipefail

exe=$(realpath "$1")
texts_exe=$(realpath "$2")
source_dir=$(realpath "$3")
work=$(realpath -m "$4")
build_dir=$(dirname "$exe")
while [[ $build_dir != / && ! -f $build_dir/CMakeCache.txt ]]; do build_dir=$(dirname "$build_dir"); done
build_prefix=$build_dir/wineprefix
golden=$source_dir/tests/win32/sample-thread.html  # the horofu command's page for the sample
thread=$source_dir/examples/sample-thread.txt

passed=0 failed=0
started=$SECONDS
xvfb_pid='' horofu_pid='' console='' status=''
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
export WINEPREFIX=$work/prefix

note() { printf '[%3ds] %s\n' $((SECONDS - started)) "$*"; }
check() {  # check NAME COMMAND...: the command must succeed
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        note "FAILED: $name"
    fi
}

cleanup() {
    [[ -n $horofu_pid ]] && kill "$horofu_pid" 2>/dev/null
    [[ -d $WINEPREFIX ]] && wineserver -k 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

# --- what the program shows --------------------------------------------------------------
# Message and field texts are read as Shift-JIS bytes in hex; titles as X has them, UTF-8.
sjis_hex() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }
title_utf8=$'Horofu\xe3\x80\x80Ver. 1.00'  # the space is the full-width one
# HTMLファイルの保存先を選んでください。
save_title_utf8=$'HTML\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab\xe3\x81\xae\xe4\xbf\x9d'$'\xe5\xad\x98\xe5\x85\x88\xe3\x82\x92\xe9\x81\xb8\xe3\x82\x93\xe3\x81\xa7\xe3\x81\x8f\xe3\x81\xa0'$'\xe3\x81\x95\xe3\x81\x84\xe3\x80\x82'
# HTMLへ変換するMabeliテキストファイルを選んでください
open_title_utf8=$'HTML\xe3\x81\xb8\xe5\xa4\x89\xe6\x8f\x9b\xe3\x81\x99\xe3\x82\x8bMabeli\xe3\x83\x86'$'\xe3\x82\xad\xe3\x82\xb9\xe3\x83\x88\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab\xe3\x82\x92'$'\xe9\x81\xb8\xe3\x82\x93\xe3\x81\xa7\xe3\x81\x8f\xe3\x81\xa0\xe3\x81\x95\xe3\x81\x84'
# コンバートが終了しました。
done_hex=83528393836f815b836782aa8f4997b982b582dc82b582bd8142
# 選択されたファイルはテキストファイルではありません
not_text_hex=914991f082b382ea82bd837483408343838b82cd8365834c83588367837483408343838b82c582cd82a082e882dc82b982f1
# 入力ファイルを開けませんでした。
input_not_opened_hex=93fc97cd837483408343838b82f08a4a82af82dc82b982f182c582b582bd8142
# 入力ファイルと同じファイルには保存できません。
same_as_input_hex=93fc97cd837483408343838b82c693af82b6837483408343838b82c982cd95db91b682c582ab82dc82b982f18142
# TEXTファイル(*.txt), the open dialog's file type
text_filter_hex=54455854837483408343838b282a2e74787429
crlf_hex=0d0a

# --- display and Wine ----------------------------------------------------------------------
rm -rf "$work"
mkdir -p "$work/shots" "$work/runs"
if [[ -n ${HOROFU_E2E_DISPLAY:-} ]]; then
    export DISPLAY=$HOROFU_E2E_DISPLAY
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
else
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
    export DISPLAY=:$(head -n1 "$work/display")
fi
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "e2e: no X display" >&2; exit 1; }

if [[ ! -f $build_prefix/.horofu-ready ]]; then
    note "making the build's Wine prefix (once; slow)"
    "$source_dir/tools/wine-run" --prefix "$build_prefix" "$texts_exe" >/dev/null 2>&1
fi
[[ -f $build_prefix/.horofu-ready ]] || { echo "e2e: no Wine prefix" >&2; exit 1; }
# The Windows files are shared through hard links; the registry, which Wine rewrites, is copied.
cp -al "$build_prefix" "$WINEPREFIX" || exit 1
for reg in "$WINEPREFIX"/*.reg; do rm -f "$reg" && cp "$build_prefix/${reg##*/}" "$reg"; done
wineserver -p 60
note "display $DISPLAY"

close_window=$work/close_window
cc -O2 -o "$close_window" "$source_dir/tests/win32/close_window.c" -lX11 ||
    { echo "e2e: cannot build close_window" >&2; exit 1; }

wine_ja() { LC_ALL=ja_JP.UTF-8 "$@"; }

# The Windows spelling of a Unix path (Wine's drive Z: is the Unix root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# --- windows -------------------------------------------------------------------------------
visible_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }
is_visible() { visible_windows . | grep -qx "$1"; }

# wait_window REGEX SECONDS [EXCLUDED-ID...]: prints the first visible window whose Latin-1
# title matches and that is not excluded; fails when none comes in time.
wait_window() {
    local regex=$1 deadline=$((SECONDS + $2)) id
    shift 2
    while ((SECONDS < deadline)); do
        for id in $(visible_windows "$regex"); do
            [[ " $* " == *" $id "* ]] || { echo "$id"; return 0; }
        done
        sleep 0.3
    done
    return 1
}

utf8_title() {
    xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME([A-Z0-9_]*) = "\(.*\)"$/\1/p'
}
title_is() {
    local title
    title=$(utf8_title "$1")
    [[ $title == "$2" ]] || { note "  title '$title', expected '$2'"; return 1; }
}

# press KEY ID: sends the key to the window until the window has gone (Wine now and then drops
# a key), a few times at most.
press() {
    local key=$1 id=$2 try
    for try in 1 2 3 4 5; do
        xdotool windowfocus --sync "$id" 2>/dev/null
        xdotool key --window "$id" "$key" 2>/dev/null
        for _ in $(seq 16); do
            is_visible "$id" || return 0
            sleep 0.5
        done
    done
    note "  $id still there after $key"
    return 1
}

# The texts of the visible Windows windows and their children (see window_texts.cpp).
window_texts() { wine_ja wine "$texts_exe" 2>/dev/null | tr -d '\r'; }

# shows_text HEX: some child window of a visible window holds exactly these bytes.
shows_text() {
    local listing
    listing=$(window_texts)
    grep -q "^C [^ ]* [0-9-]* $1\$" <<<"$listing" && return 0
    note "  no window shows $1; they show:"
    grep -v -- ' -$' <<<"$listing" | sed 's/^/      /'
    return 1
}

# type_into ID TEXT: replaces the focused field's text in dialog ID with TEXT, typed, until
# the dialog's file name field holds it.
type_into() {
    local id=$1 text=$2 try
    for try in 1 2 3; do
        xdotool windowfocus --sync "$id" 2>/dev/null
        xdotool key Home shift+End 2>/dev/null
        xdotool type --delay 30 "$text" 2>/dev/null
        window_texts | grep -q "^C Edit 1148 $(sjis_hex "$text")\$" && return 0
    done
    note "  could not type $text"
    return 1
}

# replace_existing ID: Enter in save dialog ID, which names an existing file, then yes to the
# question whether to replace it (a window with the dialog's title).
replace_existing() {
    local id=$1 question try
    for try in 1 2 3 4; do
        xdotool windowfocus --sync "$id" 2>/dev/null
        xdotool key --window "$id" Return 2>/dev/null
        if question=$(wait_window '^HTML' 10 "$id"); then
            press Return "$question"
            return
        fi
    done
    note "  no question whether to replace"
    return 1
}

# --- one run -------------------------------------------------------------------------------
# What the screen holds, for a window that did not come: the windows and a screenshot.
diagnose() {
    local w list=''
    for w in $(visible_windows .); do list+="$w '$(utf8_title "$w")' "; done
    note "  windows now: ${list:-none}"
    import -window root "$work/shots/failure-$failed.png" 2>/dev/null
}

# wait_for VAR WHAT FINDER ARGS...: runs the finder, which prints a window; the window goes
# into VAR. One that does not come is a failure.
wait_for() {
    local var=$1 what=$2 id
    shift 2
    if id=$("$@"); then
        printf -v "$var" '%s' "$id"
        return 0
    fi
    printf -v "$var" '%s' ''
    failed=$((failed + 1))
    note "FAILED: $what did not appear"
    diagnose
    return 1
}

# The console, the message box and the dialogs, by their titles.
console_window() { wait_window '^Horofu' 180; }
message_box() { wait_window '^Horofu' 90 "$console"; }
dialog() { wait_window '^HTML' 90 "$@"; }

# start ARGS...: starts Horofu.exe in the current directory and waits for its console window.
start() {
    wine_ja wine "$exe" "$@" >>"$work/horofu.log" 2>&1 &
    horofu_pid=$!
    wait_for console "the console window" console_window
}

# finish: waits for Horofu.exe to end (killing it after a while) and sets status to its exit
# code.
finish() {
    local deadline=$((SECONDS + 60))
    while kill -0 "$horofu_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.3; done
    if kill -0 "$horofu_pid" 2>/dev/null; then
        note "  Horofu.exe did not end"
        kill "$horofu_pid"
    fi
    wait "$horofu_pid"
    status=$?
    horofu_pid=''
}

status_is() { [[ $status == "$1" ]] || { note "  exit code $status, expected $1"; return 1; }; }
same_bytes() { cmp -s "$1" "$2" || { note "  $1 differs from $2"; return 1; }; }
holds_only() {  # holds_only DIR NAME...: DIR holds exactly these files
    local dir=$1 have want
    shift
    have=$(cd "$dir" && ls -A | sort)
    want=$(printf '%s\n' "$@" | sort)
    [[ $have == "$want" ]] || { note "  $dir holds: $(tr '\n' ' ' <<<"$have")"; return 1; }
}
# How much of the console is lit: the mean brightness of its window, 0 for all black.
lit() { import -window "$1" png:- 2>/dev/null | convert png:- -format '%[fx:mean]' info:; }
has_text() { awk -v m="$(lit "$1")" 'BEGIN { exit !(m > 0.005) }'; }

new_dir() {  # new_dir NAME: an empty folder for one run, made the current one
    dir=$work/runs/$1
    mkdir -p "$dir" && cd "$dir" || exit 1
}

# --- the runs ------------------------------------------------------------------------------
# A path on the command line, quoted: one argument with spaces. Screenshots of the save dialog
# and of the console's echo.
run_quoted() {
    new_dir "My Threads"
    # A Japanese name reaches Wine only where Linux has a Japanese UTF-8 locale (tools/setup-wine
    # makes it). ソ is 83 5C, its second byte a backslash: the page's name must keep it whole.
    local name name_hex
    if locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
        name=ソフト name_hex=835c83748367
    else
        note "  no ja_JP.UTF-8 locale: an ASCII name instead of a Japanese one"
        name=thread name_hex=$(sjis_hex thread)
    fi
    cp "$thread" "$name.txt"
    start "$(winpath "$dir/$name.txt")" || { finish; return; }
    check "console title" title_is "$console" "$title_utf8"
    if wait_for save "the save dialog" dialog; then
        check "save dialog title" title_is "$save" "$save_title_utf8"
        check "save dialog proposes the page's name" shows_text "$name_hex$(sjis_hex .html)"
        import -window "$save" "$work/shots/save-dialog.png"
        check "Enter in the save dialog" press Return "$save"
    fi
    if wait_for box "the completion message" message_box; then
        check "message box title" title_is "$box" "$title_utf8"
        check "completion message" shows_text "$done_hex"
        # The console with the echoed thread, the message moved aside.
        xdotool windowmove "$box" 1000 900 2>/dev/null
        sleep 1
        check "the console shows the records" has_text "$console"
        import -window "$console" "$work/shots/console-echo.png"
        import -window root "$work/shots/screen.png"
        check "OK ends the program" press Return "$box"
    fi
    finish
    check "completion exits 0" status_is 0
    check "page bytes" same_bytes "$dir/$name.html" "$golden"
    check "input intact" same_bytes "$dir/$name.txt" "$thread"
    check "nothing else written" holds_only "$dir" "$name.txt" "$name.html"
}

# Unquoted with a space inside, and .TXT in capitals.
run_unquoted() {
    new_dir "unquoted"
    cp "$thread" "A Thread.TXT"
    # Two arguments without blanks of their own: Wine joins them with one space, no quotes.
    start "$(winpath "$dir/A")" "Thread.TXT" || { finish; return; }
    if wait_for save "the save dialog" dialog; then
        check "unquoted: the page's name proposed" shows_text "$(sjis_hex 'A Thread.html')"
        check "unquoted: Enter in the save dialog" press Return "$save"
    fi
    wait_for box "the completion message" message_box && check "unquoted: OK" press Return "$box"
    finish
    check "unquoted: exits 0" status_is 0
    check "unquoted: page bytes" same_bytes "$dir/A Thread.html" "$golden"
}

# No argument: the open dialog, a typed path.
run_chosen() {
    new_dir "chosen"
    cp "$thread" thread.txt
    start || { finish; return; }
    if wait_for open "the open dialog" dialog; then
        check "open dialog title" title_is "$open" "$open_title_utf8"
        check "open dialog starts with *.txt" shows_text "$(sjis_hex '*.txt')"
        check "open dialog offers text files" shows_text "$text_filter_hex"
        check "typing the thread's path" type_into "$open" "$(winpath "$dir/thread.txt")"
        check "Enter in the open dialog" press Return "$open"
        if wait_for save "the save dialog" dialog "$open"; then
            check "chosen: the page's name proposed" shows_text "$(sjis_hex thread.html)"
            check "chosen: Enter in the save dialog" press Return "$save"
        fi
        if wait_for box "the completion message" message_box; then
            check "chosen: completion" shows_text "$done_hex"
            check "chosen: OK" press Return "$box"
        fi
    fi
    finish
    check "chosen: exits 0" status_is 0
    check "chosen: page bytes" same_bytes "$dir/thread.html" "$golden"
}

run_cancel_open() {
    new_dir "cancel-open"
    start || { finish; return; }
    wait_for open "the open dialog" dialog && check "Escape in the open dialog" press Escape "$open"
    finish
    check "open cancelled: exits 0" status_is 0
    check "open cancelled: nothing written" holds_only "$dir"
}

run_cancel_save() {
    new_dir "cancel-save"
    cp "$thread" thread.txt
    start thread.txt || { finish; return; }
    wait_for save "the save dialog" dialog && check "Escape in the save dialog" press Escape "$save"
    finish
    check "save cancelled: exits 0" status_is 0
    check "save cancelled: nothing written" holds_only "$dir" thread.txt
}

run_refused() {
    new_dir "refused"
    cp "$thread" notes.doc
    start "$(winpath "$dir/notes.doc")" || { finish; return; }
    if wait_for box "the refusal" message_box; then
        check "refusal message" shows_text "$not_text_hex"
        check "refusal: OK" press Return "$box"
    fi
    finish
    check "refusal: exits 0" status_is 0
    check "refusal: nothing written" holds_only "$dir" notes.doc
}

run_missing() {
    new_dir "missing"
    start "$(winpath "$dir/gone.txt")" || { finish; return; }
    wait_for save "the save dialog" dialog &&
        check "missing: Enter in the save dialog" press Return "$save"
    if wait_for box "the failure message" message_box; then
        check "missing: message and path" \
            shows_text "$input_not_opened_hex$crlf_hex$(sjis_hex "$(winpath "$dir/gone.txt")")"
        check "missing: OK" press Return "$box"
    fi
    finish
    check "missing: exits 1" status_is 1
    check "missing: no page, no temporary file" holds_only "$dir"
}

# The input chosen in the save dialog, after its question whether to replace the file.
run_same() {
    new_dir "same"
    cp "$thread" thread.txt
    start "$(winpath "$dir/thread.txt")" || { finish; return; }
    if wait_for save "the save dialog" dialog; then
        check "same: typing the input's name" type_into "$save" thread.txt
        check "same: replacing confirmed" replace_existing "$save"
    fi
    if wait_for box "the failure message" message_box; then
        check "same: message and path" \
            shows_text "$same_as_input_hex$crlf_hex$(sjis_hex "$(winpath "$dir/thread.txt")")"
        check "same: OK" press Return "$box"
    fi
    finish
    check "same: exits 1" status_is 1
    check "same: input intact" same_bytes "$dir/thread.txt" "$thread"
    check "same: nothing else written" holds_only "$dir" thread.txt
}

# The console closed during a long conversion over an earlier page.
run_closed() {
    new_dir "closed"
    local _
    # 2^14 copies of the sample: 344,064 records, 11 MB, far more than the echo shows in the
    # few seconds this run waits.
    cp "$thread" long.txt
    for _ in $(seq 14); do cat long.txt long.txt >twice.txt && mv twice.txt long.txt; done
    printf 'the old page\r\n' >long.html
    cp long.html old.html
    start "$(winpath "$dir/long.txt")" || { finish; return; }
    wait_for save "the save dialog" dialog &&
        check "closed: replacing confirmed" replace_existing "$save"
    # The temporary page appears once the conversion runs; the echo then takes a while.
    for _ in $(seq 100); do compgen -G '*.tmp' >/dev/null && break; sleep 0.3; done
    check "closed: conversion under way" compgen -G '*.tmp' >/dev/null
    sleep 1
    "$close_window" "$console"
    local closed=$SECONDS
    finish
    note "  ended $((SECONDS - closed)) s after the close"
    check "closed: exits 0" status_is 0
    check "closed: old page kept" same_bytes long.html old.html
    check "closed: no temporary file" holds_only "$dir" long.txt long.html old.html
}

# HOROFU_E2E_RUNS="quoted missing" runs only those. A program that does not come up at all,
# or a machine so slow that the runs overstay 15 minutes, ends the test early rather than
# letting every remaining run wait in vain.
for run in ${HOROFU_E2E_RUNS:-quoted unquoted chosen cancel_open cancel_save refused missing same closed}; do
    if ((SECONDS - started > 900)); then
        failed=$((failed + 1))
        note "FAILED: out of time before run $run"
        break
    fi
    note "run $run"
    "run_$run"
    [[ -n $console ]] || { note "Horofu.exe did not come up; no further runs"; break; }
done

cd "$work" || exit 1
echo
echo "e2e: $passed passed, $failed failed ($((SECONDS - started)) s)"
((failed == 0))
