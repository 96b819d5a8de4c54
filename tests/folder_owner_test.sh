#!/usr/bin/env bash
# Root converting a thread in a folder that another user owns: that user swaps the page's
# name or folder for a link once the thread is open (a pipe as the thread holds the run until
# they are done), and must never get a root-owned file written, emptied or made elsewhere.
# Runs the folder's owner as a second user; skipped (exit 77) where none can be made.
# Usage: folder_owner_test.sh PATH/TO/horofu
set -u
source "${BASH_SOURCE%/*}/test-lib.sh"
start_horofu_test "$1"

owner=horofu-test-owner
if [ "$(id -u)" != 0 ]; then
    echo "skipped: only root can run a second user here"
    exit 77
fi
if ! id "$owner" >/dev/null 2>&1 && ! useradd -r -M -d / -s /usr/sbin/nologin "$owner" 2>/dev/null; then
    echo "skipped: no second user ($owner) can be made"
    exit 77
fi
as_owner() { setpriv --reuid="$owner" --regid="$owner" --clear-groups -- "$@"; }

chmod 711 "$work"
mkdir -m 700 root
printf 'root only' >root/secret
chmod 600 root/secret
mkdir -m 755 their
chown "$owner:" their

# 1 名前：名無し 投稿日：05/01/28 12:00 / a line
record=$'1 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5 \x93\x8a\x8d\x65\x93\xfa\x81\x4605/01/28 12:00\r\na line\r\n'

# attack SETUP SWAP HOROFU-ARGS...: as the owner, runs SETUP in their folder, makes the thread
# a pipe, and once root's horofu has opened it runs SWAP, then sends the thread. horofu's
# status goes to status, its messages to err.
attack() {
    local setup=$1 swap=$2
    shift 2
    rm -rf their/* && as_owner bash -c "cd '$work/their' && $setup && mkfifo thread.txt"
    as_owner bash -c "cd '$work/their' && exec 3>thread.txt && $swap && printf '%s' \"\$0\" >&3" \
        "$record" &
    local owner_side=$!
    (cd their && timeout 20 "$horofu" "$@" 2>../err)
    echo $? >status
    timeout 2 cat their/thread.txt >/dev/null 2>&1  # lets an owner still waiting go on
    wait "$owner_side"
}

# The page's name is a link to /dev/null, swapped for a link to root's file once the thread
# is open: without -f, a link is a page and nothing is written; with -f, their link is
# replaced, never followed.
attack "ln -s /dev/null thread.html" "ln -sfn '$work/root/secret' thread.html" thread.txt
check "a link to /dev/null is a page: refused without -f" status_is "$(cat status)" 1
check "root's file is untouched" test "$(cat root/secret)" = "root only"
attack "ln -s /dev/null thread.html" "ln -sfn '$work/root/secret' thread.html" -f thread.txt
check "with -f the run succeeds" status_is "$(cat status)" 0
check "root's file is still untouched" test "$(cat root/secret)" = "root only"
check "their link was replaced by the page" test -f their/thread.html -a ! -L their/thread.html

# Swapped for a link to a name in root's own folder: no new file appears there.
attack "ln -s /dev/null thread.html" "ln -sfn '$work/root/new.html' thread.html" -f thread.txt
check "no root file is made through a link" test ! -e root/new.html

# The page's folder is swapped for a link to root's folder once the thread is open: the page
# goes into the folder that was there when the run began.
attack "mkdir -m 777 sub" "mv sub sub.old && ln -s '$work/root' sub" -o sub/page.html thread.txt
check "a swapped folder: the run succeeds" status_is "$(cat status)" 0
check "nothing lands in root's folder" only_entries root secret
check "the page is in the folder that was opened" test -s their/sub.old/page.html

finish
