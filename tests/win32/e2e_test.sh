#!/usr/bin/env bash
# Horofu.exe as a user meets it, under Wine on an Xvfb display of its own: the command line or
# the open dialog, the save dialog and its two page types, the console's echo, the messages,
# exit codes, the page and what a failure or a closed console leaves behind; screenshots on
# the way (WORK_DIR/shots). The runs are the table at the end of this file.
# Usage: e2e_test.sh Horofu.exe window_texts.exe SOURCE_DIR WORK_DIR hold_file.exe
# HOROFU_DISPLAY=:N picks the display (default: the first free one), HOROFU_E2E_RUNS the runs
# (default: all). The Wine prefix is a copy of the build's (made through tools/wine-run when
# missing), so that this script can end its own Wine server without touching other tests.
set -uo pipefail
shopt -s extglob

exe=$(realpath "$1")
texts_exe=$(realpath "$2")
source_dir=$(realpath "$3")
work=$(realpath -m "$4")
hold_exe=$(realpath "$5")
build_dir=$(dirname "$exe")
while [[ $build_dir != / && ! -f $build_dir/CMakeCache.txt ]]; do build_dir=$(dirname "$build_dir"); done
source "$source_dir/tests/win32/wine-test-lib.sh"

horofu_pid='' console='' status='' holder=''
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
export WINEPREFIX=$work/prefix
cleanup() {
    [[ -n $horofu_pid ]] && kill "$horofu_pid" 2>/dev/null
    [[ -n $holder ]] && kill "$holder" 2>/dev/null
    [[ -d $WINEPREFIX ]] && wineserver -k 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT

# --- what the program shows: titles as X has them (UTF-8), other texts as Shift-JIS hex -----
title=$'Horofu\xe3\x80\x80Ver. 1.00'  # the space is the full-width one
save_title=HTMLファイルの保存先を選んでください。
open_title=HTMLへ変換するMabeliテキストファイルを選んでください
declare -A said=(
    [done]=$(sjis_hex コンバートが終了しました。)
    [not_text]=$(sjis_hex 選択されたファイルはテキストファイルではありません)
    [input_not_opened]=$(sjis_hex 入力ファイルを開けませんでした。)
    [same]=$(sjis_hex 入力ファイルと同じファイルには保存できません。)
    [not_created]=$(sjis_hex 出力ファイルを作成できませんでした。)
    [classic]=$(sjis_hex 'HTMLファイル(*.html)')
    [modern]=$(sjis_hex 'HTMLファイル・UTF-8 新形式(*.html)')
    [text]=$(sjis_hex 'TEXTファイル(*.txt)')
)
crlf=0d0a

# --- display, Wine prefix, helpers ---------------------------------------------------------
rm -rf "$work"
mkdir -p "$work/shots" "$work/runs"
start_xvfb "$work" || { echo "e2e: no X display" >&2; exit 1; }
build_prefix=$build_dir/wineprefix
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
build_close_window "$source_dir" "$close_window" || { echo "e2e: no close_window" >&2; exit 1; }

wine_ja() { LC_ALL=ja_JP.UTF-8 "$@"; }

# --- windows -------------------------------------------------------------------------------
visible_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }
is_visible() { visible_windows . | grep -qx "$1"; }

# find_window REGEX [EXCLUDED-ID...]: prints the first visible window whose Latin-1 title
# matches and that is not excluded.
find_window() {
    local regex=$1 id
    shift
    for id in $(visible_windows "$regex"); do
        [[ " $* " == *" $id "* ]] || { echo "$id"; return 0; }
    done
    return 1
}

# await VAR WHAT SECONDS REGEX [EXCLUDED-ID...]: the window into VAR; one that does not come
# is a failure, noted with the windows there are and a screenshot.
await() {
    local var=$1 what=$2 seconds=$3 id w list=''
    shift 3
    if id=$(until_true "$seconds" find_window "$@"); then
        printf -v "$var" '%s' "$id"
        return 0
    fi
    printf -v "$var" '%s' ''
    failed=$((failed + 1))
    note "FAILED: $what did not appear"
    for w in $(visible_windows .); do list+="$w '$(utf8_title "$w")' "; done
    note "  windows now: ${list:-none}"
    import -window root "$work/shots/failure-$failed.png" 2>/dev/null
    return 1
}

title_is() {
    local got
    got=$(utf8_title "$1")
    [[ $got == "$2" ]] || { note "  title '$got', expected '$2'"; return 1; }
}

# retry TIMES FAILURE COMMAND...: the command until it succeeds, FAILURE noted when it never
# does (Wine now and then drops a key, and typing may go astray).
retry() {
    local times=$1 failure=$2 try
    shift 2
    for ((try = 0; try < times; try++)); do "$@" && return 0; done
    note "  $failure"
    return 1
}
# keys ID KEY...: the keys to window ID; with - for the first key, to its focused child.
keys() {
    xdotool windowfocus --sync "$1" 2>/dev/null
    [[ $2 == - ]] && set -- "${@:3}" || set -- --window "$@"
    xdotool key "$@" 2>/dev/null
}
gone() { ! visible_windows . | grep -qx "$1"; }

# press KEY ID: sends the key until the window has gone.
press() { retry 5 "$2 still there after $1" press_once "$@"; }
press_once() { keys "$2" "$1"; until_true 8 gone "$2"; }

# The texts of the visible Windows windows and their children (see window_texts.cpp).
window_texts() { wine_ja wine "$texts_exe" 2>/dev/null | tr -d '\r'; }

# shows CHILD HEX: a child window, CHILD its class and control id (a pattern), holds exactly
# these bytes.
shows() {
    local listing
    listing=$(window_texts)
    grep -q "^C $1 $2\$" <<<"$listing" && return 0
    note "  no $1 shows $2; they show:"
    grep -v -- ' -$' <<<"$listing" | sed 's/^/      /'
    return 1
}

# type_into ID TEXT: replaces the dialog's file name (Alt+N) with TEXT, typed, until the field
# holds it.
type_into() { retry 3 "could not type $2" type_once "$@"; }
type_once() {
    keys "$1" - alt+n Home shift+End
    xdotool type --delay 30 "$2" 2>/dev/null
    window_texts | grep -q "^C Edit 1148 $(sjis_hex "$2")\$"
}

# pick_type ID KIND: the dialog's file type list (Alt+T) moved down until it shows KIND.
pick_type() { retry 4 "the type list does not show $2" pick_once "$@"; }
pick_once() {
    keys "$1" alt+t Home Down
    sleep 0.5
    window_texts | grep -q "^C ComboBox 1136 ${said[$2]}\$"
}

# type_list_shot ID NAME: the dialog with its file type list open, as WORK_DIR/shots/NAME.png.
type_list_shot() {
    local geometry
    keys "$1" alt+t alt+Down
    sleep 1
    geometry=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4}
        /Absolute upper-left Y/ {y=$4} /Width/ {w=$2} /Height/ {h=$2}
        END {printf "%dx%d+%d+%d", w, h + 50, x, y}')
    import -window root -crop "$geometry" +repage "$work/shots/$2.png"
    xdotool key --window "$1" alt+Up 2>/dev/null
    sleep 0.5
}

# replace_existing ID: Enter in save dialog ID, which names an existing file, then yes to the
# question whether to replace it (a window with the dialog's title).
replace_existing() { retry 4 "no question whether to replace" replace_once "$1"; }
replace_once() {
    local question
    keys "$1" Return
    question=$(until_true 10 find_window '^HTML' "$1") && press Return "$question"
}

# How much of the console is lit: the mean brightness of its window, 0 for all black.
has_text() {
    local lit
    lit=$(import -window "$1" png:- 2>/dev/null | convert png:- -format '%[fx:mean]' info:)
    awk -v m="$lit" 'BEGIN { exit !(m > 0.005) }'
}

# --- what a run leaves ---------------------------------------------------------------------
same_bytes() { cmp -s "$1" "$2" || { note "  $1 differs from $2"; return 1; }; }
# The modern page: UTF-8 throughout, declared so, one post element per post of the thread.
modern_page() {
    local posts
    iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1 || { note "  $1 is not UTF-8"; return 1; }
    grep -q '<meta charset="utf-8">' "$1" || { note "  $1 declares no charset"; return 1; }
    posts=$(grep -o '<article class="post" id="[^"]*"' "$1" | sort -u | wc -l)
    ((posts == $2)) || { note "  $1 has $posts posts, expected $2"; return 1; }
}
# page_is FILE KIND: classic (the horofu command's page for the sample), modern:POSTS, thread
# (the sample itself, untouched), old (an earlier page, kept).
page_is() {
    case $2 in
        classic) same_bytes "$1" "$source_dir/tests/win32/sample-thread.html" ;;
        thread) same_bytes "$1" "$source_dir/examples/sample-thread.txt" ;;
        old) same_bytes "$1" "$work/old-page" ;;
        modern:*) modern_page "$1" "${2#modern:}" ;;
    esac
}

# --- the inputs ----------------------------------------------------------------------------
printf 'the old page\r\n' >"$work/old-page"
# 2^14 copies of the sample: 344,064 records, 11 MB, far more than the echo shows in the few
# seconds a run waits before closing the console.
cp "$source_dir/examples/sample-thread.txt" "$work/long-thread"
for _ in $(seq 14); do cat "$work/long-thread" "$work/long-thread" >"$work/twice" && mv "$work/twice" "$work/long-thread"; done
declare -A input=(
    [thread]=$source_dir/examples/sample-thread.txt [dat]=$source_dir/examples/sample-thread.dat
    [long]=$work/long-thread [old]=$work/old-page
)

# --- one run -------------------------------------------------------------------------------
# In step lists, @ is the run's folder as Windows spells it (with its final backslash).
at() { local w; w=$(winpath "$dir")\\; printf '%s' "${1//@/$w}"; }

# dialog_steps ID STEP,...: enter, escape, type:NAME, pick:KIND (the file type), shows:KIND
# (the type shown), list:SHOT (a screenshot with the type list open), replace (Enter and yes
# to the question), close (the console closed once the conversion runs).
dialog_steps() {
    local id=$1 step
    local -a steps
    IFS=, read -ra steps <<<"$2"
    for step in "${steps[@]}"; do
        case $step in
            enter) check "$run: Enter in the dialog" press Return "$id" ;;
            escape) check "$run: Escape in the dialog" press Escape "$id" ;;
            type:*) check "$run: typing ${step#type:}" type_into "$id" "$(at "${step#type:}")" ;;
            pick:*) check "$run: picking the ${step#pick:} type" pick_type "$id" "${step#pick:}" ;;
            shows:*) check "$run: the ${step#shows:} type shown" \
                shows 'ComboBox 1136' "${said[${step#shows:}]}" ;;
            list:*) type_list_shot "$id" "${step#list:}" ;;
            replace) check "$run: replacing confirmed" replace_existing "$id" ;;
            close)
                check "$run: conversion under way" until_true 30 compgen -G "$dir/*.tmp"
                sleep 1
                "$close_window" "$console"
                ;;
        esac
    done
}

# run_one NAME FOLDER FILES ARGS OPEN SAVE MESSAGE STATUS PAGES LEFT (one line of the table)
# launch ARGUMENT...: Horofu.exe started in the background, its process in horofu_pid.
launch() {
    wine_ja wine "$exe" "$@" >>"$work/horofu.log" 2>&1 &
    horofu_pid=$!
}
# window_or_gone: the console window's id once it is there, or "gone" once Horofu.exe has
# ended without one; fails while neither.
window_or_gone() {
    find_window '^Horofu' && return 0
    kill -0 "$horofu_pid" 2>/dev/null && return 1
    echo gone
}

run_one() {
    local run=$1 files=$3 args=$4 open=$5 save=$6 message=$7 want_status=$8 pages=$9 left=${10}
    local f open_id='' save_id='' box='' name
    local -a list
    dir=$work/runs/$2
    mkdir -p "$dir" && cd "$dir" || exit 1
    IFS=';' read -ra list <<<"$files"
    for f in "${list[@]}"; do [[ $f == - ]] || cp "${input[${f#*=}]}" "${f%%=*}"; done
    declare -F "before_$run" >/dev/null && "before_$run"
    IFS=';' read -ra list <<<"$(at "$args")"
    [[ $args == - ]] && list=()
    launch "${list[@]}"
    # Wine's first start of a program with windows has, on a loaded machine, ended at once
    # (status 1, no window): such a start is told, with Wine's last words, and made again.
    local seen
    if seen=$(until_true 180 window_or_gone) && [[ $seen == gone ]]; then
        wait "$horofu_pid"
        note "  Horofu.exe ended before any window (status $?); starting it again"
        tail -n 3 "$work/horofu.log" | while IFS= read -r f; do note "    $f"; done
        launch "${list[@]}"
    fi
    if await console "the console window" 180 '^Horofu'; then
        check "$run: console title" title_is "$console" "$title"
        if [[ $open != - ]] && await open_id "the open dialog" 90 '^HTML'; then
            check "$run: open dialog title" title_is "$open_id" "$open_title"
            check "$run: open dialog starts with *.txt" shows 'Edit 1148' "$(hex '*.txt')"
            check "$run: open dialog's first type" shows 'ComboBox 1136' "${said[text]}"
            dialog_steps "$open_id" "$open"
        fi
        if [[ $save != - ]] && await save_id "the save dialog" 90 '^HTML' "$open_id"; then
            check "$run: save dialog title" title_is "$save_id" "$save_title"
            name=${pages%%=*}
            [[ $name == *.html ]] &&
                check "$run: the page's name proposed" shows 'Edit 1148' "$(sjis_hex "$name")"
            dialog_steps "$save_id" "$save"
        fi
        if [[ $message != - ]] && await box "the message" 90 '^Horofu' "$console"; then
            check "$run: message box title" title_is "$box" "$title"
            f=${message#*:}
            [[ $f == "$message" ]] && f='' || f=$crlf$(sjis_hex "$(at "$f")")
            check "$run: the message" shows 'Static [0-9-]*' "${said[${message%%:*}]}$f"
            declare -F "message_$run" >/dev/null && "message_$run" "$box"
            check "$run: OK" press Return "$box"
        fi
    fi
    local deadline=$((SECONDS + 60))
    while kill -0 "$horofu_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.3; done
    if kill -0 "$horofu_pid" 2>/dev/null; then
        note "  Horofu.exe did not end"
        kill "$horofu_pid"
        wineserver -k  # and its windows with it, which the next run would take for its own
    fi
    wait "$horofu_pid"
    status=$?
    horofu_pid=''
    declare -F "after_$run" >/dev/null && "after_$run"
    check "$run: exit code" status_is "$status" "$want_status"
    IFS=';' read -ra list <<<"$pages"
    for f in "${list[@]}"; do
        [[ $f == - ]] || check "$run: ${f%%=*} is the ${f#*=} page" page_is "${f%%=*}" "${f#*=}"
    done
    IFS=';' read -ra list <<<"$left"
    [[ $left == - ]] && list=()
    check "$run: nothing else left" only_entries "$dir" "${list[@]}"
}

# The first run's extra: a screenshot of the console's echo.
message_quoted() {
    xdotool windowmove "$1" 1000 900 2>/dev/null  # the message aside
    sleep 1
    check "quoted: the console shows the records" has_text "$console"
    import -window "$console" "$work/shots/console-echo.png"
    import -window root "$work/shots/screen.png"
}

# A hidden page (Wine keeps the attributes in an extended attribute) is replaced by a hidden
# page. A read-only page (a file without write permission, to Wine) that Windows refuses to
# replace stays as it was, read-only; another program holding the page open makes the
# replacement fail. Either way the failure is told and nothing else is left in the folder.
dos_attributes() {
    python3 -c 'import os, sys; print(os.getxattr(sys.argv[1], "user.DOSATTRIB").decode())' "$1"
}
before_hidden() { python3 -c 'import os; os.setxattr("long.html", "user.DOSATTRIB", b"0x2")'; }
after_hidden() { check "hidden: the new page is hidden" test "$(dos_attributes long.html)" = 0x2; }
read_only() { ! stat -c %A "$1" | grep -q w || { note "  $1 is writable"; return 1; }; }
before_readonly() { chmod a-w long.html; }
after_readonly() { check "readonly: the page is still read-only" read_only long.html; }
before_held() {
    coproc holding { wine_ja wine "$hold_exe" "$(winpath "$dir/long.html")" 2>/dev/null; }
    holder=$holding_PID
    local said_held=''
    read -r -t 60 said_held <&"${holding[0]}"
    check "held: the page is held" test "${said_held%$'\r'}" = held
}
after_held() {
    local input=${holding[1]}
    exec {input}>&-
    wait "$holder"
    holder=''
}

# --- the runs ------------------------------------------------------------------------------
# NAME | FOLDER | FILES (NAME=INPUT;...) | ARGS (;-separated) | OPEN dialog steps | SAVE
# dialog steps | MESSAGE[:PATH] | EXIT CODE | PAGES (FILE=KIND;...) | LEFT in the folder.
# ソ is 83 5C, its second byte a backslash: the page's name must keep it whole. Unquoted,
# Wine joins arguments without blanks of their own with one space and no quotes.
runs="
quoted      |My Threads |ソフト.txt=thread |@ソフト.txt |- |shows:classic,list:save-dialog,enter |done |0 |ソフト.html=classic;ソフト.txt=thread |ソフト.txt;ソフト.html
unquoted    |unquoted |A Thread.TXT=thread |@A;Thread.TXT |- |enter |done |0 |A Thread.html=classic |A Thread.TXT;A Thread.html
chosen      |chosen |thread.txt=thread |- |type:@thread.txt,enter |enter |done |0 |thread.html=classic |thread.txt;thread.html
modern      |modern |thread.txt=thread |@thread.txt |- |pick:modern,enter |done |0 |thread.html=modern:5 |thread.txt;thread.html
dat         |dat |1162688531.dat=dat |@1162688531.dat |- |shows:modern,enter |done |0 |1162688531.html=modern:3 |1162688531.dat;1162688531.html
dat_chosen  |Threads |1162688531.DAT=dat;thread.txt=thread |- |list:open-dialog,type:@1162688531.DAT,enter |shows:modern,enter |done |0 |1162688531.html=modern:3 |1162688531.DAT;1162688531.html;thread.txt
cancel_open |cancel-open |- |- |escape |- |- |0 |- |-
cancel_save |cancel-save |thread.txt=thread |thread.txt |- |escape |- |0 |- |thread.txt
refused     |refused |notes.doc=thread |@notes.doc |- |- |not_text |0 |- |notes.doc
missing     |missing |- |@gone.txt |- |enter |input_not_opened:@gone.txt |1 |- |-
same        |same |thread.txt=thread |@thread.txt |- |type:thread.txt,replace |same:@thread.txt |1 |thread.txt=thread |thread.txt
closed      |closed |long.txt=long;long.html=old |@long.txt |- |replace,close |- |0 |long.html=old |long.txt;long.html
closed_modern |closed modern |long.txt=long;long.html=old |@long.txt |- |pick:modern,replace,close |- |0 |long.html=old |long.txt;long.html
hidden      |hidden |long.txt=thread;long.html=old |@long.txt |- |replace |done |0 |long.html=classic |long.txt;long.html
readonly    |readonly |long.txt=thread;long.html=old |@long.txt |- |replace |not_created:@long.html |1 |long.html=old |long.txt;long.html
held        |held |long.txt=thread;long.html=old |@long.txt |- |replace |not_created:@long.html |1 |long.html=old |long.txt;long.html
"
# HOROFU_E2E_RUNS="quoted missing" runs only those. A program that does not come up at all, or
# a machine so slow that the runs overstay 15 minutes, ends the test early.
while IFS='|' read -r name rest; do
    name=${name// /}
    [[ -z $name ]] && continue
    [[ -n ${HOROFU_E2E_RUNS:-} && " $HOROFU_E2E_RUNS " != *" $name "* ]] && continue
    if ((SECONDS - started > 900)); then
        failed=$((failed + 1))
        note "FAILED: out of time before run $name"
        break
    fi
    note "run $name"
    IFS='|' read -ra fields <<<"$rest"
    fields=("${fields[@]%%+( )}")
    run_one "$name" "${fields[@]}"
    [[ -n $console ]] || { note "Horofu.exe did not come up; no further runs"; break; }
done <<<"$runs"

cd "$work" || exit 1
echo
finish e2e
