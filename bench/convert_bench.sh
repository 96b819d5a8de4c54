#!/usr/bin/env bash
# Converts a 50 MB thread and copies the same file with cp in paired runs, and times a plain
# Perl line-by-line script doing the same job. Prints the median time of each, their ratios,
# and the conversion's peak memory for a 5 MB and a 50 MB thread.
# Usage: convert_bench.sh BUILD_DIR [MEGABYTES] [PAIRS]
set -euo pipefail
build=$(realpath "${1:-build}")
mb=${2:-50}
pairs=${3:-9}
horofu=$build/platform/posix/horofu
# Figures from an unoptimised build say nothing about the program users run.
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
case $type in
    Release | RelWithDebInfo | MinSizeRel) ;;
    *) echo "$0: $build is a '${type:-no type}' build; benchmark an optimised (Release) build" >&2
       exit 2 ;;
esac
make_thread=$build/bench/make_thread
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$make_thread" $((mb * 1000000)) >"$work/thread.txt"
"$make_thread" 5000000 >"$work/small.txt"
cat "$work/thread.txt" >/dev/null  # in the page cache for every contender

seconds() {  # seconds COMMAND...: wall time of one run
    local start end
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

: >"$work/cp.times"
: >"$work/horofu.times"
: >"$work/ratios"
for ((i = 0; i < pairs; i++)); do
    c=$(seconds cp "$work/thread.txt" "$work/copy.txt")
    h=$(seconds "$horofu" -q -f "$work/thread.txt")
    echo "$c" >>"$work/cp.times"
    echo "$h" >>"$work/horofu.times"
    echo "$h / $c" | bc -l >>"$work/ratios"
done
perl_time=$(seconds perl "$(dirname "$0")/reference.pl" "$work/thread.txt" "$work/perl.html")
cmp -s "$work/thread.html" "$work/perl.html" && same=yes || same=no

peak() { /usr/bin/time -f %M "$horofu" -q -f "$1" 2>&1 >/dev/null | tail -n 1; }

size=$(stat -c %s "$work/thread.txt")
page=$(stat -c %s "$work/thread.html")
cp_median=$(median <"$work/cp.times")
horofu_median=$(median <"$work/horofu.times")
printf 'thread: %d bytes, page: %d bytes, %d paired runs\n' "$size" "$page" "$pairs"
printf 'cp:     median %.3f s\n' "$cp_median"
printf 'horofu: median %.3f s (%.0f MB/s)\n' "$horofu_median" "$(echo "$size / $horofu_median / 1000000" | bc -l)"
printf 'horofu/cp: median of paired ratios %.2f (target: 3 or less)\n' "$(median <"$work/ratios")"
printf 'perl:   %.3f s, %.1f times horofu (target: 20 or more); same page: %s\n' \
    "$perl_time" "$(echo "$perl_time / $horofu_median" | bc -l)" "$same"
printf 'peak memory: %s KiB for 5 MB, %s KiB for %d MB (target: under 16384)\n' \
    "$(peak "$work/small.txt")" "$(peak "$work/thread.txt")" "$mb"
