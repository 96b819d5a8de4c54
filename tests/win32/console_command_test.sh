#!/usr/bin/env bash
# horofu.exe, the command as a Windows console program, under Wine: both pages of a thread
# (the classic one against its exact bytes, the modern one against the Linux command's when
# that is built), a Japanese file name, standard input and output, no page file left by a run
# killed outright, a site built and run again with nothing to write, a search of it, a site of
# Japanese names, --help, and the exit codes of a bad option and a missing file. Usage: console_command_test.sh horofu.exe SOURCE_DIR WORK_DIR [LINUX_HOROFU]
set -uo pipefail

exe=$(realpath "$1")
source_dir=$(realpath "$2")
work=$(realpath -m "$3")
linux=${4:+$(realpath -m "$4")}
source "$source_dir/tests/win32/wine-test-lib.sh"
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# run STATUS NAME ARGS...: horofu.exe ARGS (standard input from the null device unless
# redirected), its output into out and its messages into err, must end with STATUS.
run() {
    local want=$1 name=$2
    shift 2
    "$source_dir/tools/wine-run" "$exe" "$@" >out 2>err
    check "$name" status_is $? "$want"
}
same_bytes() { cmp -s "$1" "$2" || { note "  $1 differs from $2"; return 1; }; }

# --- One thread, both pages ---
cp "$source_dir/examples/sample-thread.txt" thread.txt
run 0 "a thread converts" thread.txt </dev/null
check "the classic page, byte for byte" same_bytes thread.html \
    "$source_dir/tests/win32/sample-thread.html"
check "quiet when not on a console" test ! -s err
run 0 "the modern page" -m -o modern.html thread.txt </dev/null
check "the modern page is UTF-8 HTML5" contains modern.html '<meta charset="utf-8">'
if [[ -x $linux ]]; then
    "$linux" -m -q -o linux.html thread.txt
    check "the modern page as the Linux command writes it" same_bytes modern.html linux.html
else
    note "no Linux horofu given: the modern page is not compared with its page"
fi
cp thread.txt 温泉.txt
run 0 "a Japanese file name" 温泉.txt </dev/null
check "its page beside it" same_bytes 温泉.html thread.html
run 0 "from standard input to standard output" <thread.txt
check "the same page" same_bytes out thread.html
run 1 "an existing page is kept without -f" thread.txt </dev/null
check "and told" contains err "horofu: thread.html: the output file already exists"
run 0 "-f replaces it" -f thread.txt </dev/null

# --- Killed while it writes: no page file is left behind ---
mkdir killed
mkfifo killed/feed
(cd killed && exec "$source_dir/tools/wine-run" "$exe" -o page.html <feed >/dev/null 2>&1) &
exec 3>killed/feed  # the thread, and then nothing more until the program is killed
cat thread.txt >&3
page_file() { [[ -n $(find killed -name '~hrf*') ]]; }
no_page_file() { ! page_file; }
check "a page file while it converts" until_true 60 page_file
pkill -KILL -f "^$exe -o page.html"
check "killed, it leaves no page file" until_true 10 no_page_file
check "and no page" test ! -e killed/page.html
exec 3>&-
wait
rm -rf killed

# --- Usage ---
run 0 "--help" --help </dev/null
check "the help text" contains out "Usage: horofu [OPTION]... FILE.txt..."
check "what differs on Windows" contains out "On Windows:"
run 2 "an unknown option is a usage error" --bogus </dev/null
check "named as typed" contains err "horofu: unrecognized option '--bogus'"
run 1 "a missing thread fails" missing.txt </dev/null
check "named with the system's reason" contains err "horofu: missing.txt: could not open the input file. ("

# --- A small archive, built, run again, searched ---
name=$'\x96\xbc\x96\xb3\x82\xb5'  # 名無し
mkdir -p src/bbs.example/news
printf '%s<>sage<>2024/09/10(\x89\xce) 07:00:00 ID:a<>%s<>Trip Part1\n%s<>sage<>2024/09/10(\x89\xce) 07:01:00 ID:b<>yes<>\n' \
    "$name" $'\x89\xb7\x90\xf2\x82\xc9\x8d\x73\x82\xab\x82\xbd\x82\xa2' "$name" \
    >src/bbs.example/news/1000000001.dat  # 温泉に行きたい
printf '%s<>sage<>2024/09/10(\x89\xce) 08:00:00 ID:a<>next<>Trip Part2\n' "$name" \
    >src/bbs.example/news/1000000002.dat
run 0 "--site builds a site" --site=site src </dev/null
check "its indexes and pages" only_entries site/news index.html 1000000001.html 1000000002.html
check "the site's index" test -s site/index.html
check "the series linked" contains site/news/1000000001.html 'href="../news/1000000002.html"'
before=$(find site -type f ! -name .horofu-lock -printf '%i %T@ %p\n' | sort)
run 0 "a second run" --site=site src </dev/null
check "writes nothing" test "$before" = \
    "$(find site -type f ! -name .horofu-lock -printf '%i %T@ %p\n' | sort)"
run 0 "--search finds a post" --search=site 温泉 </dev/null
check "its link and text, in UTF-8" contains out $'news/1000000001.html#1\tTrip Part1'
check "the matching post" contains out "温泉に行きたい"
run 1 "--search finding nothing" --search=site nothing-here </dev/null

# Names in Japanese, as folders on Japanese Windows are named: the site, a board, a text copy;
# ソ and 表 end in the byte of a backslash (83 5C, 95 5C) in the system code page.
mkdir -p 板/ソフト
cp src/bbs.example/news/1000000002.dat 板/ソフト/1000000003.dat
cp thread.txt 板/ソフト/表計算.txt
run 0 "a site and a board named in Japanese" --site=サイト 板 </dev/null
check "the board's pages" only_entries サイト/ソフト index.html 1000000003.html 表計算.html
check "linked as a browser reads the address" contains サイト/index.html \
    '<a href="%E3%82%BD%E3%83%95%E3%83%88/index.html">ソフト</a>'
check "a thread named in Japanese" contains サイト/ソフト/index.html \
    'href="../%E3%82%BD%E3%83%95%E3%83%88/%E8%A1%A8%E8%A8%88%E7%AE%97.html"'
run 0 "--search in it" --search=サイト 温泉 </dev/null
check "finds the copy" contains out $'ソフト/表計算.html#'

finish console_command_test
