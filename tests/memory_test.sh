#!/usr/bin/env bash
# Memory stays bounded whatever the thread: a 100 MB line converts exactly under a 48 MiB
# address-space limit, echoed or not; where no thread can be started the work is done
# without one.
# Usage: memory_test.sh PATH/TO/horofu
set -u
source "${BASH_SOURCE%/*}/test-lib.sh"
start_horofu_test "$1"
limited() { (ulimit -v 49152 && "$@") 2>err || { cat err; return 1; }; }

# 100 MB of <, one record: read twice (classified, then escaped piece by piece), never held.
head -c 100000000 /dev/zero | tr '\0' '<' >line.txt
check "100 MB line under the limit" limited "$horofu" line.txt
head=$(printf '<html>\r\n<body bgcolor=#F0FFE6 text=black link=blue alink=red vlink=#660099>\r\n\t<DL>\r\n\t\t<DD>' | od -An -tx1)
tail=$(printf '</DD><br>\r\n\t</DL>\r\n</body>\r\n</html>\r\n' | od -An -tx1)
check "page size" test "$(stat -c %s line.html)" = 400000127
check "page head" test "$(head -c 90 line.html | od -An -tx1)" = "$head"
check "page tail" test "$(tail -c 37 line.html | od -An -tx1)" = "$tail"
# Between them nothing but &lt; (tr drops its four letters).
check "escaped line" test "$(tail -c +91 line.html | head -c 400000000 | tr -d '&lt;' | wc -c)" = 0

# From a pipe the record is copied aside as it is read, to be read twice: as little memory.
check "from a pipe" limited bash -c 'cat line.txt | "$1" -o pipe.html -' - "$horofu"
check "the page from a pipe is the same" cmp -s pipe.html line.html

# The echo shows a record as it is read, a piece at a time: a 100 MB line echoed stays under
# the limit too, and the echo is the line.
check "100 MB line echoed under the limit" limited bash -c '"$1" --echo -o echo.html line.txt >echo.out' - "$horofu"
check "the echo is the line" cmp -s echo.out <(cat line.txt; echo)
check "the same page" cmp -s echo.html line.html

# No second thread to be had (its stack, as large as the stack limit, finds no room): every
# page, into place or to standard output, is made on the one thread, the same as ever.
nothread() { (ulimit -s 4000000 && ulimit -v 1000000 && "$@") 2>err || { cat err; return 1; }; }
record=$'1 \x96\xbc\x91\x4f\x81\x46 \x93\x8a\x8d\x65\x93\xfa\x81\x4605/01/28 12:00\r\nline\r\n>>1\r\n'
yes "$record" | head -c 5000000 >t.txt
"$horofu" -q t.txt && "$horofu" -q -m -o t-m.html t.txt
for page in "" -m; do
    check "page $page without a thread" nothread "$horofu" -q -f $page -o one.html t.txt
    check "page $page the same" cmp -s one.html "t${page:+-m}.html"
    check "page $page to standard output" nothread bash -c '"$1" $2 -o - t.txt >one.html' - "$horofu" "$page"
    check "the same on standard output" cmp -s one.html "t${page:+-m}.html"
done

# Ranges cost what their text does: 101 posts, then 4 MB of ">>1-101" lines (each naming 101
# posts, with a preview per link) and 100,000 posts of one range each, under the same limit;
# the first page stays under 4 times its thread.
awk 'BEGIN { for (n = 1; n <= 101; n++) print n " a 2024/09/10 10:00\nx";
             for (i = 0; i < 500000; i++) print ">>1-101" }' >ranges.txt
check "range lines under the limit" limited "$horofu" -m -q ranges.txt
check "range page under 4 times the thread" \
    test "$(stat -c %s ranges.html)" -lt $((4 * $(stat -c %s ranges.txt)))
awk 'BEGIN { for (n = 1; n <= 100000; n++) print n " a 2024/09/10 10:00\n>>1-101" }' >posts.txt
check "range posts under the limit" limited "$horofu" -m -q posts.txt

# The modern page reads a long line in pieces of a few megabytes, and holds a few of them: its
# own limit is higher. A line of 4,000,000 reply links (",1" each) is written as its links are
# found, never gathered (24 bytes a link, 12 times the line).
limited_at() { local kib=$1; shift; (ulimit -v "$kib" && "$@") 2>err || { cat err; return 1; }; }
{ printf '1 a 2024/09/10 10:00\n>>1'; head -c 4000000 /dev/zero | tr '\0' ',' | sed 's/,/,1/g'; echo; } >list.txt
check "a line of links under 64 MiB" limited_at 65536 "$horofu" -m -q list.txt
check "its links" test "$(grep -o 'href="#1"' list.html | wc -l)" -gt 100000

# A header's tails are its parts only up to a few dozen: three headers of 1,500,000 tails
# (" x" each), lines of 3 MB, held 24 bytes a tail in each of several copies (350 MB).
awk 'BEGIN { for (n = 1; n <= 3; n++) { printf "%d a 2024/09/10 10:00 ID:a", n;
             for (i = 0; i < 1500000; i++) printf " x"; print "\nbody >>1" } }' >tails.txt
check "headers of many tails under 96 MiB" limited_at 98304 "$horofu" -m -q tails.txt

# Previews held for later links stay within 32 MiB: 40,000 posts whose headers are 500 '&'
# (2.5 kB each once escaped), every one linked from the last post, would hold 100 MB.
awk 'BEGIN { name = sprintf("%0500d", 0); gsub(/0/, "\\&", name);
             for (n = 1; n <= 40000; n++) print n " " name " 2024/09/10 10:00\nx";
             printf "40001 a 2024/09/10 10:00\n>>1";
             for (n = 2; n <= 40000; n++) printf ",%d", n; print "" }' >previews.txt
check "previews of every post under 80 MiB" limited_at 81920 "$horofu" -m -q previews.txt
check "the first links keep their previews" grep -qF 'aria-describedby="v40001-1"' previews.html

# An NG file of 16 MiB (690,000 words of 18 letters, as little shared as may be) holds one
# node of 13 bytes per byte of its words, built a breadth at a time: under 320 MiB, the file
# and its text included, where it took 900 MiB.
awk 'BEGIN { srand(1); for (i = 0; i < 690000; i++) { s = "";
             for (k = 0; k < 18; k++) s = s sprintf("%c", 97 + int(rand() * 26)); print "word:" s } }' >words.ng
printf '1 a 2024/09/10 10:00\nhello\n' >tiny.txt
check "an NG file of 16 MiB of words under 320 MiB" limited_at 327680 "$horofu" -m -q --ng=words.ng tiny.txt

finish
