#!/usr/bin/env bash
# horofu --site end to end: a small archive built and checked (links, series, indexes),
# incremental runs by which files were rewritten, a run killed mid-way then run again, two runs
# at once, and sources that cannot be read or are not threads. Usage: site_test.sh PATH/TO/horofu
set -u
source "${BASH_SOURCE%/*}/test-lib.sh"
start_horofu_test "$1"

name=$'\x96\xbc\x96\xb3\x82\xb5'  # 名無し
previous=$'\x91\x4f\x83\x58\x83\x8c'  # 前スレ
# dat FILE TITLE POSTS [BODY]: a Shift-JIS .dat thread, posts a minute apart from 2024/09/10
# 07:00 Japan time, BODY in its first post.
dat() {
    local file=$1 title=$2 posts=$3 body=${4:-} i
    mkdir -p "${file%/*}"
    for ((i = 1; i <= posts; i++)); do
        printf '%s<>sage<>2024/09/10(\x89\xce) 07:%02d:00 ID:a%d<>post %d %s<>%s\n' \
            "$name" $((i % 60)) $((i % 3)) "$i" "$([ "$i" = 1 ] && echo "$body")" \
            "$([ "$i" = 1 ] && echo "$title")"
    done >"$file"
}
page_whole() { [[ $(tail -c 8 "$1") == "</html>" ]]; }
stamps() { find site -type f ! -name .horofu-lock -printf '%i %T@ %p\n' | sort -k3; }
rewritten() {  # rewritten BEFORE [all]: the files whose inode changed since BEFORE, sorted;
    # the search index's own files (site/search/) only with "all"
    join -1 3 -2 3 <(sort -k3 "$1") <(stamps | sort -k3) | awk '$2 != $4 {print $1}' |
        { if [ "${2-}" = all ]; then cat; else grep -v '^site/search/'; fi; } | sort | tr '\n' ' '
}

# --- A small archive: news kept twice (before and after a server move), and game ---
dat old/srv1/news/1000000001.dat "News Part1" 3
dat old/srv1/news/1000000002.dat "News Part2" 2  # the shorter copy
dat new/srv2/news/1000000002.dat "News Part2" 4
dat new/srv2/news/1000000003.dat $'\x82\x6d\x82\x85\x82\x97\x82\x93 \x82\x6f\x82\x81\x82\x92\x82\x94\x82\x52' 2  # Ｎｅｗｓ Ｐａｒｔ３
dat new/srv2/news/1000000010.dat "Quiz" 2 \
    "$previous http://b.example/test/read.cgi/news/1000000003/ see ttp://c.example/test/read.cgi/game/2000000001/l2 and https://d.example/test/read.cgi/news/9999999999/1"
dat new/srv2/game/2000000001.dat "Games" 5 \
    "http://e.example/test/read.cgi/game/1000000001/ is not ours; http://e.example/test/read.cgi?bbs=news&key=1000000001&st=3"
# A reader's board folder also keeps the board's own files: its thread list, settings, rules.
printf '1000000001.dat<>News Part1 (3)\n' >new/srv2/news/subject.txt
printf 'BBS_TITLE=News\n' >new/srv2/news/SETTING.TXT
printf 'rules\n' >new/srv2/news/head.txt
runs 0 "a first run builds the site" --site=site old new
check "pages, indexes and shared files" only_entries site .horofu-lock .horofu-site index.html \
    style.css sort.js news game search.html search
check "news pages" only_entries site/news index.html 1000000001.html 1000000002.html \
    1000000003.html 1000000010.html
check "the longer copy wins" contains site/news/1000000002.html 'id="4"'
check "pages link the shared stylesheet" contains site/game/2000000001.html \
    '<link rel="stylesheet" href="../style.css">'
check "a page's time is its last post's" test "$(stat -c %Y site/game/2000000001.html)" = \
    "$(TZ=Asia/Tokyo date -d '2024-09-10 07:05' +%s)"
check "a local address with its post" contains site/game/2000000001.html \
    '<a class="re" href="../news/1000000001.html#3">'
check "the same key on another board stays external" contains site/game/2000000001.html \
    '<a class="url" href="http://e.example/test/read.cgi/game/1000000001/"'
check "l2 leads to the first of the last two posts" contains site/news/1000000010.html \
    'href="../game/2000000001.html#4"'
check "a thread not in the site stays external" contains site/news/1000000010.html \
    'href="https://d.example/test/read.cgi/news/9999999999/1"'
check "a local link has a preview" contains site/news/1000000010.html \
    '<span class="pv"><span class="ph">Games</span>'
check "series by title, both ways" contains site/news/1000000002.html \
    '<a rel="prev" href="../news/1000000001.html" title="News Part1">'
check "series by a full-width title" contains site/news/1000000002.html \
    '<a rel="next" href="../news/1000000003.html"'
check "series by the previous thread's address" contains site/news/1000000010.html \
    '<a rel="prev" href="../news/1000000003.html"'
check "and back" contains site/news/1000000003.html '<a rel="next" href="../news/1000000010.html"'

check "the board index, newest last post first" test "$(grep -o '[0-9]\+\.html">[^<]*' \
    site/news/index.html | tr '\n' ' ')" = \
    '1000000002.html">News Part2 1000000001.html">News Part1 1000000003.html">Ｎｅｗｓ Ｐａｒｔ３ 1000000010.html">Quiz '
check "the board index's counts and dates" contains site/news/index.html \
    '<td class="n" data-v="4">4</td><td class="d">2024/09/10(火) 07:01:00</td><td class="d" data-v="1725919440">2024/09/10(火) 07:04:00</td>'
check "the site index: boards with threads and posts" contains site/index.html \
    '<a href="news/index.html">news</a></td><td class="n" data-v="4">4</td><td class="n" data-v="11">11</td>'

# --- Incremental runs ---
stamps >before
sleep 1.1
runs 0 "a run with nothing changed" --site=site old new
check "writes nothing" test -z "$(rewritten before all)"
dat new/srv2/news/1000000002.dat "News Part2" 6  # grown by two posts
runs 0 "a run after a thread grew" --site=site old new
check "rewrites its page and the indexes" test \
    "$(rewritten before)" = "site/.horofu-site site/index.html site/news/1000000002.html site/news/index.html "
stamps >before
dat new/srv2/game/2000000002.dat "Extra" 1
dat new/srv2/game/2000000001.dat "Games" 7 \
    "http://e.example/test/read.cgi/game/1000000001/ is not ours; http://e.example/test/read.cgi?bbs=news&key=1000000001&st=3"
runs 0 "a grown thread named with l2" --site=site old new
check "rewrites the page whose link moved" contains site/news/1000000010.html \
    'href="../game/2000000001.html#6"'
stamps >before
dat new/srv2/news/1000000011.dat "Late" 1 "http://z.example/test/read.cgi/news/1000000012/"
runs 0 "a run adding a thread" --site=site old new
stamps >before
dat new/srv2/news/1000000012.dat "Named" 1
runs 0 "a run adding the thread an older page names" --site=site old new
check "rewrites the older page, its link now local" contains site/news/1000000011.html \
    '<a class="re" href="../news/1000000012.html">'
check "and nothing else of the threads" test "$(rewritten before)" = \
    "site/.horofu-site site/index.html site/news/1000000011.html site/news/index.html "
rm new/srv2/news/1000000012.dat
runs 0 "a run after a source went" --site=site old new
check "keeps its page" page_whole site/news/1000000012.html
check "its index entry says it is gone" contains site/news/index.html \
    'Named</a> <span class="gone">(元ファイルなし)</span>'
check "links to it stay local" contains site/news/1000000011.html 'href="../news/1000000012.html"'

# --- NG rules: filtered posts leave nothing in the pages or the search ---
mkdir -p ngsrc/talk
{
    printf '%s<>sage<>2024/09/10 07:01:00 ID:good1<>opening post<>Talk\n' "$name"
    printf 'Trollname<>sage<>2024/09/10 07:02:00 ID:bad9<>trollword <br> http://spam.example/x<>\n'
    printf '%s<>sage<>2024/09/10 07:03:00 ID:good2<>&gt;&gt;2 chained reply<>\n' "$name"
    printf '%s<>sage<>2024/09/10 07:04:00 ID:good1<>closing post<>\n' "$name"
} >ngsrc/talk/1100000000.dat
printf '# trolls\r\nid:bad9\r\n' >ng.txt
runs 0 "a site with NG rules" --site=ngsite --ng=ng.txt --ng-chain ngsrc
check "the page keeps the other posts" contains ngsite/talk/1100000000.html 'closing post'
check "nothing of the filtered posts anywhere in the site" test -z \
    "$(grep -rlE 'Trollname|trollword|spam\.example|bad9|chained reply|07:02:00' ngsite)"
runs 1 "the search finds none of them" --search=ngsite Trollname
LC_ALL=C.UTF-8 runs 0 "the same rules again" --site=ngsite --ng=ng.txt --ng-chain ngsrc
check "write no page" contains err "0 pages written"
runs 0 "other rules" --site=ngsite --ng=ng.txt --ng-mode=mark ngsrc
check "make the page again" contains ngsite/talk/1100000000.html 'chained reply'
check "with the filtered post's number" contains ngsite/talk/1100000000.html 'class="post filtered" id="2"'
printf 'id:bad9\nbad line\n' >ng.txt
cp ngsite/talk/1100000000.html ng-page-before
runs 2 "a bad NG line refuses the run" --site=ngsite --ng=ng.txt ngsrc
check "naming the file and line" contains err "ng.txt:2:"
check "and leaves the site as it was" cmp ngsite/talk/1100000000.html ng-page-before
mkdir -p ngslow/talk
printf 'n<>sage<>2024/09/10 07:00:00<>%s yx<>T\n' "$(printf 'w%.0s' {1..3000})" \
    >ngslow/talk/1100000001.dat
printf 're:w\\S*x\n' >ng.txt
runs 0 "a pattern that gives up on a line" --site=ngslow-site -q --ng=ng.txt ngslow
check "is told, even with -q" contains err "ngslow-site: NG のパターンが行を探しきれなかったレス 1 件を残しました"

# --- Refusals, unreadable and malformed sources ---
runs 2 "a site inside a source is refused" --site=new/site new
check "with a message naming the source" contains err "new: サイトがこのソースの中になります"
runs 2 "a source inside the site is refused" --site=. new
mkdir -p odd/news
ln -s nowhere odd/news/3000000001.dat
head -c 20000 /dev/urandom >odd/news/3000000002.dat
printf 'not a thread at all\n' >odd/news/3000000003.txt
printf 'x' >odd/news/index.dat
printf 'x' >notes.md
LC_ALL=C.UTF-8 runs 1 "unreadable sources fail the run" --site=oddsite odd notes.md
check "the unreadable one is named" contains err "odd/news/3000000001.dat: could not be read; left out."
check "a name the site cannot hold is named" contains err "index.dat: this name cannot"
check "a file that is no thread is named" contains err "notes.md: not a thread file"
check "the others are converted, whole" page_whole oddsite/news/3000000002.html
check "a text that is no thread still gets a page" page_whole oddsite/news/3000000003.html

# --- Names made on Japanese Windows: a board and a text copy named in Shift-JIS bytes ---
sjis_board=$'\x83\x6a\x83\x85\x81\x5b\x83\x58'  # ニュース
mkdir -p win/"$sjis_board"
cp new/srv2/news/1000000011.dat win/"$sjis_board"/$'\x95\x5c.txt'  # 表, whose 5C is no backslash
runs 0 "a board and a thread named in Shift-JIS" --site=winsite win
check "the board is shown by its name" contains winsite/index.html \
    '<a href="%83j%83%85%81%5B%83X/index.html">ニュース</a>'
check "the thread's page by its own name" contains winsite/"$sjis_board"/index.html \
    'href="../%83j%83%85%81%5B%83X/%95%5C.html"'
check "every index is UTF-8" iconv -f UTF-8 -t UTF-8 winsite/index.html \
    winsite/"$sjis_board"/index.html -o /dev/null

# --- Killed mid-way, then again; two runs at once ---
big=$(printf '%s<>sage<>2024/09/10 07:00:00<>%0300d <br> %0300d<>T\n' "$name" 0 0)
for ((i = 0; i < 2000; i++)); do printf '%s\n' "$big"; done >one.dat
for ((i = 0; i < 40; i++)); do mkdir -p many/b; cp one.dat many/b/$((1500000000 + i)).dat; done
"$horofu" --site=killed many 2>/dev/null &
runner=$!
helpers+=("$runner")
while ! ls killed/b/*.html >/dev/null 2>&1; do sleep 0.05; done
LC_ALL=C.UTF-8 runs 2 "a second run at once is refused" --site=killed many
check "and told why" contains err "another horofu is updating this site"
kill -KILL "$runner"
wait "$runner" 2>/dev/null
check "a run killed mid-way left some pages" test "$(ls killed/b | wc -l)" -lt 41
whole=1
for f in killed/b/*.html; do page_whole "$f" || whole=0; done
check "every page it left is whole" test $whole = 1
check "and no temporary file" test -z "$(find killed -name '.*' ! -name .horofu-lock ! -name .horofu-site)"
runs 0 "the next run completes it" --site=killed many
check "every thread has its page" test "$(ls killed/b/*.html | wc -l)" = 41
whole=1
for f in killed/b/*.html; do page_whole "$f" || whole=0; done
check "every page whole" test $whole = 1

finish site_test
