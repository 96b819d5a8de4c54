#!/usr/bin/env bash
# The archive (horofu --site) on a generated archive: 3 boards, THREADS threads of POSTS posts,
# in series, with addresses between threads. Times a full build against a shell loop running
# horofu -m on each file, a re-run with nothing changed, and a re-run after one thread grew by
# 10 posts (listing the files it rewrote), with CPU time beside wall time (a busy machine
# stretches the latter), and the peak memory of each; then the same three runs on SMALL threads
# of 5 posts, whose peak memory must stay under 64 MiB. The peak is that of the largest single
# process of the run (what /usr/bin/time reports of a process tree: the command or any of its
# forked workers, each counted whole, pages shared with the command included, never summed).
# The generated archives are kept in CACHE between runs.
# Usage: site_bench.sh [--smoke] BUILD_DIR [CACHE] [THREADS] [POSTS] [SMALL]
# --smoke only shows that the benchmark runs: a tiny archive, kept nowhere, no verdicts.
set -euo pipefail
smoke=no
if [ "${1:-}" = --smoke ]; then
    smoke=yes
    shift
fi
build=$(realpath "${1:-build}")
cache=${2:-/tmp/horofu-site-bench}
threads=${3:-2000}
posts=${4:-1000}
small=${5:-100000}
[ $smoke = yes ] && threads=30 posts=50 small=200
horofu=$build/platform/posix/horofu
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
case $type in
    Release | RelWithDebInfo | MinSizeRel) ;;
    *) echo "$0: $build is a '${type:-no type}' build; benchmark an optimised (Release) build" >&2
       exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ $smoke = yes ] && cache=$work/cache  # nothing kept
mkdir -p "$cache"
archive=$cache/archive-$threads-$posts
smalls=$cache/archive-$small-5
[ -d "$archive" ] || "$build/bench/make_archive" "$archive" "$threads" "$posts"
[ -d "$smalls" ] || "$build/bench/make_archive" "$smalls" "$small" 5
echo "archive: $threads threads of $posts posts, $(du -smL "$archive" | cut -f1) MB, on $(nproc) cores"
cat "$archive"/host/*/* >/dev/null  # in the page cache for every contender

measure() {  # measure LABEL COMMAND...: wall and CPU seconds, peak memory of any one process
    local label=$1
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
        { cat "$work/err" >&2; return 1; }
    read -r wall user sys kb <"$work/time"
    printf '%-38s %7.2f s wall %7.2f s CPU %6.1f MiB peak\n' "$label" "$wall" \
        "$(echo "$user + $sys" | bc -l)" "$(echo "$kb / 1024" | bc -l)"
    echo "$wall" >"$work/wall"
}
loop() {  # the same pages by a shell loop of horofu -m
    local f
    for f in "$archive"/host/*/*.dat; do "$horofu" -m -q -f -o "$work/loop.html" "$f"; done
}

export -f loop 2>/dev/null || true
export horofu archive work
measure "shell loop of horofu -m" bash -c "$(declare -f loop); loop"
shell=$(cat "$work/wall")
measure "full build (horofu --site)" "$horofu" -q --site="$work/site" "$archive"
full=$(cat "$work/wall")
measure "re-run, nothing changed" "$horofu" -q --site="$work/site" "$archive"
unchanged=$(cat "$work/wall")

dats=("$archive"/host/board1/*.dat)
grown=${dats[0]}
cp "$grown" "$work/grown.bak"
trap 'cp "$work/grown.bak" "$grown"; rm -rf "$work"' EXIT
tail -n 10 "$grown" >>"$grown"
touch "$work/mark"
sleep 1
measure "re-run, one thread grew 10 posts" "$horofu" -q --site="$work/site" "$archive"
regrown=$(cat "$work/wall")
echo "files it rewrote (replaced since the run before; a page keeps its last post's time):"
find "$work/site" -type f -cnewer "$work/mark" ! -name .horofu-lock -printf '  %P  %TY-%Tm-%Td %TH:%TM\n' | sort
cp "$work/grown.bak" "$grown"

rm -rf "$work/site"
peak() { awk '{print $4}' "$work/time"; }
measure "full build, $small threads of 5 posts" "$horofu" -q --site="$work/small" "$smalls"
smallpeak=$(peak)
measure "  re-run, nothing changed" "$horofu" -q --site="$work/small" "$smalls"
[ "$(peak)" -gt "$smallpeak" ] && smallpeak=$(peak)
dats=("$smalls"/host/board1/*.dat)
grown=${dats[0]}
cp "$grown" "$work/grown.bak"
trap 'cp "$work/grown.bak" "$grown"; rm -rf "$work"' EXIT
tail -n 3 "$grown" >>"$grown"
measure "  re-run, one thread grew 3 posts" "$horofu" -q --site="$work/small" "$smalls"
[ "$(peak)" -gt "$smallpeak" ] && smallpeak=$(peak)
cp "$work/grown.bak" "$grown"

[ $smoke = yes ] && exit 0
echo
verdict() { if [ "$(echo "$2" | bc -l)" = 1 ]; then echo "  ok: $1"; else echo "  MISSED: $1"; fi; }
verdict "full build at least 1.7 times faster than the loop ($(echo "$shell / $full" | bc -l | cut -c1-4)x)" "$shell >= 1.7 * $full"
verdict "re-run with nothing changed under 0.3 s" "$unchanged < 0.3"
verdict "re-run after one thread grew under 0.5 s" "$regrown < 0.5"
verdict "peak memory under 64 MiB with $small threads, each run ($((smallpeak / 1024)) MiB)" "$smallpeak < 65536"
