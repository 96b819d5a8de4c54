#!/usr/bin/env bash
# The horofu command against unlucky and hostile users: signals mid-way, a second program
# swapping links into the page's folder, two runs onto one page, a page onto its own thread,
# long names, locks, odd targets and escape sequences. Usage: hostile_test.sh PATH/TO/horofu
set -u
source "${BASH_SOURCE%/*}/test-lib.sh"
start_horofu_test "$1"

wait_for() {  # wait_for FILE: up to 20 s
    local i
    for ((i = 0; i < 200; i++)); do [ -e "$1" ] && return 0; sleep 0.1; done
    echo "  $1 never came" >&2
    return 1
}

# 1 名前：名無し 投稿日：05/01/28 12:00 / a line / >>1
record=$'1 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5 \x93\x8a\x8d\x65\x93\xfa\x81\x4605/01/28 12:00\r\na line\r\n>>1\r\n'
printf '%s' "$record" >t.txt
yes "$record" | head -c 50000000 >big.txt  # a 50 MB thread

# A signal mid-way leaves the old page as it was, nothing beside it, and the shell's status.
# The 50 MB thread comes through a pipe that stops early, so the run is surely mid-way.
mkdir sig
printf 'old page' >sig/page.html
mkfifo half
for signal in INT TERM HUP; do
    rm -f written
    (head -c 4000000 big.txt; : >written; exec sleep 60) >half &
    writer=$!
    helpers+=("$writer")
    (set -m; "$horofu" -f -o sig/page.html - <half 2>err & echo $! >pid; wait $!; echo $? >status) 2>/dev/null &
    waiter=$!
    wait_for written
    sleep 0.2
    kill -s "$signal" "$(cat pid)"
    wait "$waiter"
    kill "$writer" 2>/dev/null
    wait "$writer" 2>/dev/null
    check "SIG$signal ends the run" status_is "$(cat status)" $((128 + $(kill -l "$signal")))
    check "SIG$signal keeps the old page" test "$(cat sig/page.html)" = "old page"
    check "SIG$signal leaves nothing" only_entries sig page.html
done

# A second program that swaps a link to someone else's file for anything new in the folder
# never gets a write through it, nor a mode change; and no file in the folder is ever readable
# by others while a private page is rewritten.
mkdir -p swap victim
printf 'secret' >victim/file
chmod 600 victim/file
head -c 2000000 big.txt >swap/t.txt
printf 'old page' >swap/t.html
chmod 600 swap/t.html
: >seen
swap_in() {  # swap_in ENTRY: notes the mode of a new file and puts a link in its place
    [ "$1" = swap/t.txt ] && return
    [ -f "$1" ] && [ ! -L "$1" ] && stat -c '%a %n' "$1" >>seen 2>/dev/null
    [ "$1" = swap/t.html ] || ln -sfn "$work/victim/file" "$1" 2>/dev/null
}
if command -v inotifywait >/dev/null; then  # inotify-tools: at once
    exec 5< <(exec inotifywait -mq -e create -e moved_to --format %f swap)
    helpers+=($!)
    (while read -r name <&5; do swap_in "swap/$name"; done) &
    exec 5<&-
    sleep 0.5  # the watch is set up
else  # else as fast as a loop can look
    (while [ ! -e stop ]; do for entry in swap/.[!.]* swap/*; do swap_in "$entry"; done; done) &
fi
helpers+=($!)
for run in 1 2 3 4 5 6; do
    "$horofu" -f swap/t.txt 2>>err
    # The folder's owner may always put a link in the page's place; start again from a page.
    [ -L swap/t.html ] && rm swap/t.html && printf 'old page' >swap/t.html && chmod 600 swap/t.html
done
: >stop
sleep 0.3
check "the other user's file is never written" test "$(cat victim/file)" = "secret"
check "nor re-moded" test "$(stat -c %a victim/file)" = 600
check "a private page is never readable by others" lacks seen "644 "
check "the page is written" test "$(stat -c %a swap/t.html)" = 600 -a "$(stat -c %s swap/t.html)" -gt 2000000
# (links the other program made are its own)
check "no page file is left behind" test -z "$(find swap -name '.horofu-*' ! -type l)"

# Two runs onto one new page without -f, both past the check for an existing page before
# either is done: the first to finish writes it, the second is told.
mkfifo one two
"$horofu" -o both.html - <one 2>err1 &
first=$!
"$horofu" -o both.html - <two 2>err2 &
second=$!
exec 3>one 4>two
sleep 0.5
printf 'first\r\n' >&3
exec 3>&-
wait "$first"
check "the first writer succeeds" status_is $? 0
printf 'second\r\n' >&4
exec 4>&-
wait "$second"
check "the second writer fails" status_is $? 1
check "the second writer is told" contains err2 "horofu: both.html: 出力ファイルが既に存在します（上書きするには -f）。"
check "the first page stays" contains both.html "first"
check "no page file is left behind" test -z "$(ls -A | grep '^\.horofu-')"

# A page onto its own thread through standard output is refused, as cat does.
cp t.txt self.txt
"$horofu" -o - self.txt >>self.txt 2>err
check "standard output onto the input fails" status_is $? 1
check "standard output onto the input message" contains err "入力ファイルと同じファイルには保存できません。"
"$horofu" <self.txt >>self.txt 2>err
check "standard input onto itself fails" status_is $? 1
check "the thread is intact" cmp -s self.txt t.txt

# Any name the file system takes for the page works, replaced or new.
long=$(printf 'x%.0s' {1..249})
cp t.txt "$long.txt"
"$horofu" "$long.txt" && "$horofu" -f "$long.txt"
check "a 254-byte page name" status_is $? 0
check "the long-named page" test -s "$long.html"

# Readers share a thread; a writer holding it exclusively is named as the reason.
flock -s t.txt "$horofu" -f t.txt 2>err
check "a thread read elsewhere still converts" status_is $? 0
flock -x t.txt "$horofu" -f t.txt 2>err
check "a thread locked for writing fails" status_is $? 1
check "the lock is the reason" contains err "horofu: t.txt: 入力ファイルを開けませんでした。（他のプログラムが使用中です）"

# Any existing name counts as a page; links are replaced as links; devices are not replaced.
ln -s nowhere.html dangling.html
cp t.txt dangling.txt
runs 1 "a dangling link is an existing page" dangling.txt
check "the link stays" test -L dangling.html
"$horofu" -f dangling.txt
check "-f replaces the link, not what it names" test ! -L dangling.html -a ! -e nowhere.html
ln -s /dev/null null.html
cp t.txt null.txt
runs 1 "a link to /dev/null is an existing page" null.txt
check "and is told" contains err "null.html: 出力ファイルが既に存在します"
runs 0 "-f writes through a link to a device" -f null.txt
check "the link to the device stays" test "$(readlink null.html)" = /dev/null
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    shm=$(mktemp /dev/shm/horofu-test.XXXXXX)
    printf 'old page' >"$shm"
    runs 1 "a file under /dev is a page like any other" -o "$shm" t.txt
    check "and is kept" test "$(cat "$shm")" = "old page"
    runs 0 "replaced with -f" -f -o "$shm" t.txt
    check "through a new file" cmp -s "$shm" <("$horofu" -o - t.txt)
    rm -f "$shm"
fi
mkfifo pipe.html
timeout 10 "$horofu" -o pipe.html t.txt 2>err
check "a pipe nobody reads fails at once" status_is $? 1
check "and says why" contains err "horofu: pipe.html: 出力ファイルを作成できませんでした。（このパイプを読むプログラムがありません）"
exec 7<>pipe.html  # a reader that is there before the page comes; the pipe holds the page
"$horofu" -o pipe.html t.txt
timeout 1 cat <&7 >piped
exec 7<&-
check "a pipe is written directly" cmp -s piped <("$horofu" -o - t.txt)
"$horofu" -o /dev/stdout t.txt >through.html  # the system's name for standard output: no page
check "/dev/stdout onto a file writes the file" cmp -s through.html <("$horofu" -o - t.txt)
check "/dev/stdout is still the system's" test -L /dev/stdout
ln -s /dev/zero zero.txt
timeout 10 "$horofu" -o zero.html zero.txt 2>err
check "a device named as the thread is refused" status_is $? 1
check "and told how to read one" contains err "デバイスは標準入力からだけ読めます"
"$horofu" -o empty.html - </dev/null
check "standard input may be a device" status_is $? 0
# Lines shaped to make a scan start again at every mark: a .dat body of 2,000,000 "<a" with
# no '>' after them, and an address closed by 4,000,000 ')'. Each is read once through; a scan
# per mark would take hours.
{ printf 'n<><>2023/01/01 00:00:00 ID:a<>'; head -c 4000000 /dev/zero | tr '\0' '<' |
    sed 's/</<a/g' | head -c 4000000; printf '<>t\n'; } >marks.dat
timeout 60 "$horofu" -q -f -o marks.html marks.dat
check "a body of unclosed tags is read once through" status_is $? 0
{ printf '1 x\nhttp://a'; head -c 4000000 /dev/zero | tr '\0' ')'; printf '\n'; } >parens.txt
timeout 60 "$horofu" -m -q -f -o parens.html parens.txt
check "an address closed by many brackets is read once through" status_is $? 0
check "and its brackets stay text" contains parens.html 'http://a</a>))))'
# An NG file of 100,000 IDs and 100,000 words against 200,000 posts: each header and line is
# looked up once, not tried against every rule (which would take many minutes).
awk 'BEGIN { for (i = 0; i < 100000; i++) printf "id:x%07d\nword:w%07d\n", i, i; print "id:y0000002" }' >many.ng
awk 'BEGIN { for (n = 1; n <= 200000; n++)
                 printf "%d a 2024/09/10 10:00 ID:y%07d\nsome %s text\n", n, n, n == 3 ? "w0012345" : "" }' >ng.txt
timeout 60 "$horofu" -m -q -f --ng=many.ng -o ng.html ng.txt
check "many NG rules are looked up, not tried one by one" status_is $? 0
check "and filter by ID and word" test "$(grep -o 'id="[234]"' ng.html)" = 'id="4"'
# A word is carried from each piece of a long line into the next as far as it is long, and
# spells a path of as many nodes: one longer than 1024 bytes is refused, as a 15 MB one would
# have a 50 MB line searched again and again and hold 900 MiB.
{ printf 'word:'; head -c 1025 /dev/zero | tr '\0' 'q'; echo; } >long.ng
"$horofu" -m -q -f --ng=long.ng -o ng.html ng.txt 2>err
check "an NG word of over 1024 bytes is refused" status_is $? 2
check "and told" contains err "long.ng:1: word longer than 1024 bytes"
# A counted repeat is held written out by the matcher, some 90 bytes an element: "x{1,30000}"
# took 2.8 MB, and 16 MiB of such lines would take terabytes. Over 1024 written out is
# refused, and so are more than 256 patterns, each tried on every line.
printf 're:a{2,}b\nre:(ab){2,4}\nre:x{1,30000}\n' >counted.ng
"$horofu" -m -q -f --ng=counted.ng -o ng.html ng.txt 2>err
check "a pattern counted out past 1024 is refused" status_is $? 2
check "and told" contains err "counted.ng:3: pattern longer than 1024 characters"
awk 'BEGIN { for (i = 0; i < 257; i++) printf "re:x%dy\n", i }' >patterns.ng
"$horofu" -m -q -f --ng=patterns.ng -o ng.html ng.txt 2>err
check "more than 256 patterns are refused" status_is $? 2
check "and told" contains err "patterns.ng:257: more than 256 patterns"

# A page path longer than PATH_MAX whose folder is not: the page is made and replaced there.
deep=$(printf "$long/%.0s" {1..16})
mkdir -p "$deep"
"$horofu" -o "$deep/$long.html" t.txt && "$horofu" -f -o "$deep/$long.html" t.txt 2>err
check "a page path over PATH_MAX is replaced with -f" status_is $? 0
if mknod disk.html b 7 255 2>/dev/null; then
    "$horofu" -f -o disk.html t.txt 2>err
    check "a block device is refused" contains err "（ブロックデバイスには書き込めません）"
fi

# Escape sequences from a thread or a file name reach a terminal only as visible text.
printf 'title \x1b]0;owned\x07 here\r\n' >esc.txt
cat >esc.sh <<EOF
"$horofu" --echo -o /dev/null esc.txt
"$horofu" "\$(printf 'a\033[2J.txt')"
"$horofu" "\$(printf -- '--\033]52;c;b3du\007')" "\$(printf -- '-\033')"
EOF
script -qec "bash esc.sh" /dev/null >out 2>&1
check "echo shows escapes visibly" contains out 'title ^[]0;owned^G here'
check "file names show escapes visibly" contains out 'a^[[2J.txt'
check "no escape byte reaches the terminal" test "$(tr -dc '\033\007' <out | wc -c)" = 0
check "nor from an unknown option" contains out "知らないオプションです: '--^[]52;c;b3du^G'"

# An answer is a whole line: a long "no" leaves nothing to answer the next question.
cp t.txt ask1.txt && cp t.txt ask2.txt
printf 'old' >ask1.html && printf 'old' >ask2.html
{ printf 'n%062dy\n' 0; sleep 1; printf 'n\n'; } | script -qec "'$horofu' ask1.txt ask2.txt" /dev/null >out 2>&1
check "a long answer answers one question" test "$(cat ask1.html ask2.html)" = oldold

finish
