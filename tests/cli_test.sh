#!/usr/bin/env bash
# The horofu command as a user runs it: outputs, messages, exit codes, and what a failure
# leaves behind. Usage: cli_test.sh PATH/TO/horofu
set -u
source "${BASH_SOURCE%/*}/test-lib.sh"
start_horofu_test "$1"
no_temporary() { [ -z "$(find . -name '.horofu-*')" ] || { find . -name '.horofu-*'; return 1; }; }

# 1 名前：名無し 投稿日：05/01/28 12:00 / a <b> line / >>1
printf '1 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5 \x93\x8a\x8d\x65\x93\xfa\x81\x4605/01/28 12:00\r\na <b>\r\n>>1 \r\n' >t.txt
expected=$(printf '<html>\r\n<body bgcolor=#F0FFE6 text=black link=blue alink=red vlink=#660099>\r\n\t<DL>\r\n\t\t<DT><a name="1">1 </a>\x96\xbc\x91\x4f\x81\x46<font color=green><b>\x96\xbc\x96\xb3\x82\xb5 </b></font>\x93\x8a\x8d\x65\x93\xfa --/--/--</DT><br>\r\n\t\t<DD>a &lt;b&gt;</DD><br>\r\n\t\t<DD><a href="#1">&gt;&gt;1</a></DD><br>\r\n\t</DL>\r\n</body>\r\n</html>\r\n' | od -An -tx1)

# A page beside its thread, the same as on standard output and from standard input.
runs 0 "converts beside the input" t.txt
check "page bytes" test "$(od -An -tx1 <t.html)" = "$expected"
check "quiet when not on a terminal" test ! -s err
check "page on standard output" test "$("$horofu" -o - t.txt | od -An -tx1)" = "$expected"
check "thread from standard input" test "$("$horofu" <t.txt | od -An -tx1)" = "$expected"
cp t.txt UPPER.TXT
"$horofu" UPPER.TXT
check "an upper-case .TXT is a text file" test -f UPPER.html

# Refusals and usage errors. A wrong-type name is refused alone; the others still convert.
rm -f UPPER.html
runs 1 "a non-text file is refused" notes.doc UPPER.TXT
check "refusal message in UTF-8, naming the names taken" contains err "horofu: notes.doc: スレッドのファイルではありません: 変換できるのは FILE.txt と FILE.dat です"
check "nothing written for a refused file" test ! -e notes.html
check "the next name still converts" test -f UPPER.html
runs 2 "-o takes one input" -o x.html t.txt UPPER.TXT
"$horofu" --help >out
check "--help" status_is $? 0
check "--help text" contains out "使い方: horofu"
LC_ALL=C.UTF-8 "$horofu" --help notes.doc >out
check "English help under another locale" contains out "Usage: horofu"
"$horofu" --site --help >out
check "--site --help is the site command's help" contains out "--ng=FILE"
LC_ALL=C.UTF-8 "$horofu" notes.doc 2>err
check "English messages too" contains err "horofu: notes.doc: not a thread file: the names taken are FILE.txt and FILE.dat"
check "--version" test "$("$horofu" --version)" = "horofu 1.0.0"
runs 2 "an unknown option" --bogus

# An existing page is replaced only with --force (no terminal here to ask).
printf 'old page' >t.html
runs 1 "existing page without -f fails" t.txt
check "existing page message" contains err "horofu: t.html: 出力ファイルが既に存在します"
check "existing page kept" test "$(cat t.html)" = "old page"
"$horofu" -f t.txt
check "-f replaces" test "$(od -An -tx1 <t.html)" = "$expected"

# On a terminal the command asks.
printf 'old page' >t.html
printf 'n\n' | script -qec "$horofu t.txt" /dev/null >out 2>&1
check "the question is asked" contains out "上書きしますか？ [y/N]"
check "no keeps the page" test "$(cat t.html)" = "old page"
printf 'y\n' | script -qec "$horofu t.txt" /dev/null >out 2>&1
check "yes replaces the page" test "$(od -An -tx1 <t.html)" = "$expected"
check "a summary on the terminal" contains out "3 レコード、1 投稿"

# No file named on a terminal: the command asks for one, listing the folder's text files, until
# a name exists; a pattern is a filter; an empty answer or Ctrl-D cancels.
rm -f t.html
printf 'nope\nU*.txt\nt\n' | script -qec "$horofu" /dev/null >out 2>&1
check "the file question lists the text files" contains out "  t.txt"
check "a pattern lists its matches alone" test "$(tr -d '\r' <out | grep -c '^  ')" = 3
check "a wrong name is asked again" contains out "/nope.txt: ファイルが見つかりません"
check "a typed name converts" test "$(od -An -tx1 <t.html)" = "$expected"
printf '' | script -qec "$horofu; echo status=\$?" /dev/null >out 2>&1
check "Ctrl-D cancels, ending the question's line" grep -qx 'status=0' <(tr -d '\r' <out)
rm -f t.html
printf '\n' | script -qec "$horofu; echo status=\$?" /dev/null >out 2>&1
check "an empty answer cancels" contains out "status=0"
check "nothing written on cancel" test ! -e t.html
"$horofu" -f t.txt

# The input is never its own output, under any name.
cp t.txt keep.txt
runs 1 "input as output fails" -f -o keep.txt keep.txt
check "input as output message" contains err "horofu: keep.txt: 入力ファイルと同じファイルには保存できません。"
ln keep.txt link.html
runs 1 "a second name of the input fails too" -f -o link.html keep.txt
check "input intact" cmp -s keep.txt t.txt

# Failures name the path, leave no page and no temporary file, and the others still convert.
cp t.txt good.txt
runs 1 "a missing input fails the run" missing.txt good.txt
check "missing input message, with the system's reason" contains err \
    "horofu: missing.txt: 入力ファイルを開けませんでした。（そのようなファイルやディレクトリはありません）"
check "the other input still converts" test -f good.html
check "no page for the missing input" test ! -e missing.html
runs 1 "an output that cannot be created" -o no/such/dir.html t.txt
check "output message" contains err "horofu: no/such/dir.html: 出力ファイルを作成できませんでした。"
runs 1 "a full disk" -o /dev/full t.txt
check "write failure message" contains err "horofu: /dev/full: 出力ファイルへの書き込みに失敗しました。"
"$horofu" -o - t.txt >/dev/full 2>err
check "a full standard output" status_is $? 1
head -c 300000 /dev/zero | tr '\0' 'x' >big.txt
printf 'old page' >big.html
(ulimit -f 100; trap '' XFSZ; "$horofu" -f big.txt 2>err)
check "a write cut short fails" status_is $? 1
check "the old page survives a failed write" test "$(cat big.html)" = "old page"
check "no temporary file is left behind" no_temporary

# Echo: every record, in the locale's encoding; on standard error when the page is on stdout.
"$horofu" -f --echo t.txt >out
check "echo in UTF-8" contains out "1 名前：名無し 投稿日：05/01/28 12:00"
check "echo of every record" test "$(wc -l <out)" = 3
"$horofu" --echo -o - t.txt 2>out >/dev/null
check "echo moves to stderr" contains out "a <b>"

# The modern page: a .dat accepted with -m only, the same page from a pipe, encodings named.
printf '\x96\xbc\x96\xb3\x82\xb5<>sage<>2024/09/10 10:00 ID:a<> &gt;&gt;2 <>T\n<b>x</b><><>2024/09/10 10:01 ID:a<>\xff <>\n' >d.dat
runs 0 "a .dat gets the modern page without --modern" d.dat
check "modern page of a .dat" contains d.html '<article class="post" id="2" aria-label="2">'
rm d.html
"$horofu" -m d.dat 2>err
check "undecodable bytes told" contains err "U+FFFD"
# References to no character are told as such: the encoding was right, so no hint follows.
printf 'a<><>2024/09/10 10:00 ID:a<> &#0; x &#xD800; <>T\n' >refs.dat
"$horofu" -f refs.dat 2>err
check "invalid references told" contains err "無効な文字参照 2 個を U+FFFD で表示しました"
check "and no encoding hint" lacks err "input-encoding"
check "modern page from a pipe" test "$("$horofu" -m -q <d.dat | sed 1,/h1/d)" = "$(sed 1,/h1/d d.html)"
runs 2 "an unknown encoding is a usage error" -m --input-encoding=NO-SUCH d.dat
check "it says where the names are" contains err "iconv -l"
# A UTF-8 thread on the classic page loses every header: the page is still written (exit 0),
# with the fix on standard error; -q keeps quiet.
printf '1 名前：a 投稿日：2020/01/01(水) 10:00:00 ID:x\nhi\n2 名前：b 投稿日：2020/01/01(水) 10:01:00\n>>1\nyo\n' >u8.txt
runs 0 "a UTF-8 thread on the classic page" u8.txt
check "is told to try --modern" contains err "--modern (-m)"
runs 0 "quietly with -q" -q -f u8.txt
check "no hint with -q" test ! -s err
runs 0 "any iconv encoding" -m -q -f --input-encoding=EUC-JP d.dat
printf 'id:a\n# a comment\nre:(x+)+\n' >ng.txt
runs 2 "a bad NG line is a usage error" -m --ng ng.txt d.dat
check "the bad line told by number" contains err "ng.txt:3:"
printf 'id:a\n' >ng.txt
runs 0 "--ng leaves the posts of an ID out" -m -q -f --ng ng.txt d.dat
check "no post of the ID left" test "$(grep -c '<article' d.html)" = 0
printf 're:w\\S*x\n' >ng.txt
printf 'n<>sage<>2024/09/10 07:00:00<>%s yx<>T\n' "$(printf 'w%.0s' {1..3000})" >long.dat
runs 0 "a pattern that gives up on a line" -m -q -f --ng ng.txt long.dat
check "is told, even with -q" contains err "long.dat: NG のパターンが行を探しきれなかったレス 1 件を残しました"
runs 2 "--ng needs --modern" --ng ng.txt t.txt
runs 2 "an NG file that cannot be read" -m --ng . d.dat
check "is told as the NG file" contains err "horofu: .: NG ファイルを読めませんでした。"
runs 2 "an NG file without end is refused, not read into memory" -m --ng /dev/zero d.dat
check "as too large" contains err "16 MiB"

# Where the locale's codeset is Shift-JIS, messages pass as Shift-JIS bytes.
mkdir -p "$work/locale"
if localedef -c -i ja_JP -f SHIFT_JIS "$work/locale/ja_JP.SJIS" >/dev/null 2>&1 ||
    [ -d "$work/locale/ja_JP.SJIS" ]; then
    # スレッドのファイルではありません: 変換できるのは FILE.txt と FILE.dat です
    LOCPATH=$work/locale LC_ALL=ja_JP.SJIS "$horofu" notes.doc 2>err
    check "Shift-JIS message bytes" test "$(od -An -tx1 <err | tr -d ' \n')" = \
        "$(printf 'horofu: notes.doc: \x83X\x83\x8c\x83b\x83h\x82\xcc\x83t\x83@\x83C\x83\x8b\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1: \x95\xcf\x8a\xb7\x82\xc5\x82\xab\x82\xe9\x82\xcc\x82\xcd FILE.txt \x82\xc6 FILE.dat \x82\xc5\x82\xb7\n' | od -An -tx1 | tr -d ' \n')"
fi

finish
