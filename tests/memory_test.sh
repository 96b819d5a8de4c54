#!/usr/bin/env bash
# Memory stays bounded whatever the thread: a 100 MB line converts exactly under a 48 MiB
# address-space limit, and running out of memory is told, exit 1, with nothing left behind.
# Usage: memory_test.sh PATH/TO/horofu
set -u
horofu=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export LC_ALL=ja_JP.UTF-8
unset LANGUAGE  # gettext would follow it over LC_ALL
failed=0
fail() {
    echo "FAILED: $*" >&2
    failed=1
}

# 100 MB of <, one record: read twice (classified, then escaped piece by piece), never held.
head -c 100000000 /dev/zero | tr '\0' '<' >line.txt
(ulimit -v 49152 && "$horofu" line.txt) 2>err || fail "100 MB line under the limit: $(cat err)"
head=$(printf '<html>\r\n<body bgcolor=#F0FFE6 text=black link=blue alink=red vlink=#660099>\r\n\t<DL>\r\n\t\t<DD>' | od -An -tx1)
tail=$(printf '</DD><br>\r\n\t</DL>\r\n</body>\r\n</html>\r\n' | od -An -tx1)
[ "$(stat -c %s line.html)" = 400000127 ] || fail "page size $(stat -c %s line.html)"
[ "$(head -c 90 line.html | od -An -tx1)" = "$head" ] || fail "page head"
[ "$(tail -c 37 line.html | od -An -tx1)" = "$tail" ] || fail "page tail"
# Between them nothing but &lt; (tr drops its four letters).
[ "$(tail -c +91 line.html | head -c 400000000 | tr -d '&lt;' | wc -c)" = 0 ] || fail "escaped line"

# From a pipe the record is copied aside as it is read, to be read twice: as little memory.
(ulimit -v 49152 && cat line.txt | "$horofu" -o pipe.html -) 2>err || fail "from a pipe: $(cat err)"
cmp -s pipe.html line.html || fail "the page from a pipe differs"

# An echoed record is shown whole, so it is held: one larger than memory allows is refused
# with a message and leaves neither page nor temporary.
(ulimit -v 49152 && "$horofu" --echo -o echo.html line.txt >/dev/null) 2>err
status=$?
[ "$status" = 1 ] || fail "out of memory: exit $status"
grep -q 'メモリが足りません' err || fail "out of memory message: $(cat err)"
[ -z "$(find . -name '*echo*')" ] || fail "leftover: $(find . -name '*echo*')"

[ "$failed" = 0 ] && echo "memory test passed"
exit "$failed"
