#!/usr/bin/env bash
# A folder dropped onto Horofu.exe, under Wine on an Xvfb display of its own: the folder dialog
# proposing FOLDER-site, the site it builds (indexes, thread pages, stylesheet), the console's
# echo and the completion message; a second drop with nothing changed writes nothing; Escape
# in the dialog ends the program; a site inside the dropped folder is refused with its path.
# Screenshots in WORK_DIR/shots.
# Usage: site_drop_test.sh Horofu.exe window_texts.exe SOURCE_DIR WORK_DIR
set -uo pipefail

exe=$(realpath "$1")
texts_exe=$(realpath "$2")
source_dir=$(realpath "$3")
work=$(realpath -m "$4")
build_dir=$(dirname "$exe")
while [[ $build_dir != / && ! -f $build_dir/CMakeCache.txt ]]; do build_dir=$(dirname "$build_dir"); done
source "$source_dir/tests/win32/wine-test-lib.sh"

horofu_pid=''
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
export WINEPREFIX=$work/prefix
cleanup() {
    [[ -n $horofu_pid ]] && kill "$horofu_pid" 2>/dev/null
    [[ -d $WINEPREFIX ]] && wineserver -k 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT

title=$'Horofu\xe3\x80\x80Ver. 1.00'
folder_title=サイトを保存するフォルダを選んでください。
done_hex=$(sjis_hex コンバートが終了しました。)
inside_hex=$(sjis_hex サイトがこのソースの中になります。ソースの外のフォルダを選んでください。)

rm -rf "$work"
mkdir -p "$work/shots"
start_xvfb "$work" || { echo "site_drop: no X display" >&2; exit 1; }
build_prefix=$build_dir/wineprefix
if [[ ! -f $build_prefix/.horofu-ready ]]; then
    note "making the build's Wine prefix (once; slow)"
    "$source_dir/tools/wine-run" --prefix "$build_prefix" "$texts_exe" >/dev/null 2>&1
fi
[[ -f $build_prefix/.horofu-ready ]] || { echo "site_drop: no Wine prefix" >&2; exit 1; }
cp -al "$build_prefix" "$WINEPREFIX" || exit 1
for reg in "$WINEPREFIX"/*.reg; do rm -f "$reg" && cp "$build_prefix/${reg##*/}" "$reg"; done
wineserver -p 60
note "display $DISPLAY"

wine_ja() { LC_ALL=ja_JP.UTF-8 "$@"; }
visible_windows() { xdotool search --onlyvisible --name . 2>/dev/null; }
gone() { ! visible_windows | grep -qx "$1"; }
# A visible window whose exact title is TITLE and that is not EXCLUDED.
titled() {
    local id
    for id in $(visible_windows); do
        [[ $id != "${2:-}" && $(utf8_title "$id") == "$1" ]] && { echo "$id"; return 0; }
    done
    return 1
}
# await VAR WHAT TITLE [EXCLUDED]: the window into VAR, or a failure with a screenshot.
await() {
    local id
    if id=$(until_true 90 titled "$3" "${4:-}"); then
        printf -v "$1" '%s' "$id"
        return 0
    fi
    printf -v "$1" '%s' ''
    failed=$((failed + 1))
    note "FAILED: $2 did not appear"
    import -window root "$work/shots/failure-$failed.png" 2>/dev/null
    return 1
}
# press KEY ID: the key until the window has gone (Wine now and then drops one).
press() {
    local try
    for ((try = 0; try < 5; try++)); do
        xdotool windowfocus --sync "$2" 2>/dev/null
        xdotool key --window "$2" "$1" 2>/dev/null
        until_true 8 gone "$2" && return 0
    done
    note "  $2 still there after $1"
    return 1
}
window_texts() { wine_ja wine "$texts_exe" 2>/dev/null | tr -d '\r'; }
# shows CLASS HEX: a child window of that class holds exactly these bytes.
shows() {
    local listing
    listing=$(window_texts)
    grep -q "^C $1 [0-9-]* $2\$" <<<"$listing" && return 0
    note "  no $1 shows $2; they show:"
    grep "^C $1 " <<<"$listing" | sed 's/^/      /'
    return 1
}
# The folder dialog's name field (the dialog's edit, its first focus) replaced by TEXT.
type_name() {
    xdotool windowfocus --sync "$1" 2>/dev/null
    xdotool key Home shift+End 2>/dev/null  # an edit field of old takes no Ctrl+A
    xdotool type --delay 30 "$2" 2>/dev/null
    sleep 0.5
    shows Edit "$(sjis_hex "$2")"
}
has_text() {
    local lit
    lit=$(import -window "$1" png:- 2>/dev/null | convert png:- -format '%[fx:mean]' info:)
    awk -v m="$lit" 'BEGIN { exit !(m > 0.005) }'
}

# --- A small archive: two boards, text copies and a .dat --------------------------------------
logs=$work/logs
mkdir -p "$logs/onsen" "$logs/sky"
# txt FILE TITLE POSTS: a Shift-JIS text copy with its title line, posts a minute apart.
txt() {
    local i
    {
        printf '%s\r\n' "$2"
        for ((i = 1; i <= $3; i++)); do
            printf '%d 名前：名無しさん 投稿日：06/11/03(金) 21:%02d:05 ID:Qm3tRa8x\r\n本文 %d です。\r\n\r\n' \
                "$i" $((10 + i)) "$i"
        done
    } | iconv -f UTF-8 -t CP932 >"$1"
}
txt "$logs/onsen/1162556045.txt" "近場の温泉 Part1" 3
txt "$logs/onsen/1162642445.txt" "近場の温泉 Part2" 4
txt "$logs/sky/1162600000.txt" "星の話" 2
cp "$source_dir/examples/sample-thread.dat" "$logs/sky/1162688531.dat"
site=$work/logs-site
stamps() { find "$site" -type f ! -name .horofu-lock -printf '%i %T@ %p\n' | sort -k3; }

# drop RUN STEPS WANT-STATUS [MESSAGE-HEX]: Horofu.exe given the folder; STEPS in the folder
# dialog: enter (the name proposed), type:NAME then enter, or escape.
drop() {
    local run=$1 steps=$2 want=$3 message=${4:-} console dialog box status
    note "run $run"
    wine_ja wine "$exe" "$(winpath "$logs")" >>"$work/horofu.log" 2>&1 &
    horofu_pid=$!
    if await console "$run: the console" "$title" && await dialog "$run: the folder dialog" \
        "$folder_title" "$console"; then
        check "$run: the proposed name" shows Edit "$(hex logs-site)"
        [[ $run == first ]] && import -window root "$work/shots/folder-dialog.png"
        case $steps in
            enter) check "$run: Enter in the dialog" press Return "$dialog" ;;
            escape) check "$run: Escape in the dialog" press Escape "$dialog" ;;
            type:*)
                check "$run: typing the site" type_name "$dialog" "$(winpath "${steps#type:}")"
                check "$run: Enter in the dialog" press Return "$dialog"
                ;;
        esac
        if [[ -n $message ]] && await box "$run: the message" "$title" "$console"; then
            check "$run: the message" shows Static "$message"
            if [[ $run == first ]]; then
                check "first: the console shows the threads" has_text "$console"
                xdotool windowmove "$box" 900 850 2>/dev/null
                sleep 1
                import -window "$console" "$work/shots/site-console.png"
                import -window root "$work/shots/site-screen.png"
            fi
            check "$run: OK" press Return "$box"
        fi
    fi
    local deadline=$((SECONDS + 60))
    while kill -0 "$horofu_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.3; done
    kill -0 "$horofu_pid" 2>/dev/null && { note "  Horofu.exe did not end"; kill "$horofu_pid"; wineserver -k; }
    wait "$horofu_pid"
    status=$?
    horofu_pid=''
    check "$run: exit code" status_is "$status" "$want"
}

drop first enter 0 "$done_hex"
check "the site's files" only_entries "$site" .horofu-lock .horofu-site index.html style.css \
    sort.js search.html search onsen sky
check "a board's pages" only_entries "$site/onsen" index.html 1162556045.html 1162642445.html
check "the other board's" only_entries "$site/sky" index.html 1162600000.html 1162688531.html
check "the .dat's page" test "$(grep -o '<article class="post" id="[^"]*"' \
    "$site/sky/1162688531.html" | sort -u | wc -l)" = 3
check "a page of a text copy" contains "$site/onsen/1162642445.html" '<article class="post" id="4"'
check "pages share the stylesheet" contains "$site/sky/1162600000.html" \
    '<link rel="stylesheet" href="../style.css">'
check "the site lists both boards" contains "$site/index.html" '<a href="sky/index.html">sky</a>'
check "the board lists its threads" contains "$site/onsen/index.html" '1162556045.html'

stamps >"$work/before"
sleep 1.1
drop again enter 0 "$done_hex"
check "again: nothing written" diff "$work/before" <(stamps)

drop cancelled escape 0
check "cancelled: nothing written" diff "$work/before" <(stamps)

drop inside "type:$logs/onsen/site" 1 "$inside_hex$(hex $'\r\n')$(sjis_hex "$(winpath "$logs")")"
check "inside: no site made" test ! -e "$logs/onsen/site"

finish site_drop
