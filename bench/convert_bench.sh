#!/usr/bin/env bash
# Converts a 50 MB thread and copies the same file with cp in paired runs, and times a plain
# Perl line-by-line script doing the same job. Prints the median time of each, their ratios,
# the time on one core beside the time on all, the modern page's time where horofu has it,
# and the conversion's peak memory for a 5 MB and a 50 MB thread and for one 100 MB line.
# Usage: convert_bench.sh [--smoke] BUILD_DIR [MEGABYTES] [PAIRS]
# --smoke only shows that the benchmark runs: small figures, no verdicts.
set -euo pipefail
smoke=no
if [ "${1:-}" = --smoke ]; then
    smoke=yes
    shift
fi
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
verdict() {  # verdict TARGET: the target in brackets, in the full benchmark only
    [ "$smoke" = yes ] || printf ' (target: %s)' "$1"
}
# The modern page, once horofu has one.
modern=no
"$horofu" --modern -q -f -o "$work/modern.html" "$work/small.txt" 2>/dev/null && modern=yes
one_core=no
command -v taskset >/dev/null && taskset -c 0 true 2>/dev/null && one_core=yes

: >"$work/cp.times"
: >"$work/horofu.times"
: >"$work/ratios"
: >"$work/one.times"
: >"$work/modern.times"
for ((i = 0; i < pairs; i++)); do
    c=$(seconds cp "$work/thread.txt" "$work/copy.txt")
    h=$(seconds "$horofu" -q -f "$work/thread.txt")
    echo "$c" >>"$work/cp.times"
    echo "$h" >>"$work/horofu.times"
    echo "$h / $c" | bc -l >>"$work/ratios"
    if [ "$one_core" = yes ]; then
        seconds taskset -c 0 "$horofu" -q -f -o "$work/one.html" "$work/thread.txt" >>"$work/one.times"
    fi
    if [ "$modern" = yes ]; then
        seconds "$horofu" --modern -q -f -o "$work/modern.html" "$work/thread.txt" >>"$work/modern.times"
    fi
done
perl_time=$(seconds perl "$(dirname "$0")/reference.pl" "$work/thread.txt" "$work/perl.html")
cmp -s "$work/thread.html" "$work/perl.html" && same=yes || same=no

peak() { /usr/bin/time -f %M "$horofu" -q -f -o "$work/peak.html" "$1" 2>&1 >/dev/null | tail -n 1; }
head -c 100000000 /dev/zero | tr '\0' '<' >"$work/line.txt"

size=$(stat -c %s "$work/thread.txt")
page=$(stat -c %s "$work/thread.html")
cp_median=$(median <"$work/cp.times")
horofu_median=$(median <"$work/horofu.times")
[ "$smoke" = yes ] && echo "benchmark smoke run: the figures are too small to judge by"
printf 'thread: %d bytes, page: %d bytes, %d paired runs\n' "$size" "$page" "$pairs"
printf 'cp:     median %.3f s\n' "$cp_median"
printf 'horofu: median %.3f s (%.0f MB/s)\n' "$horofu_median" "$(echo "$size / $horofu_median / 1000000" | bc -l)"
if [ "$one_core" = yes ]; then
    printf 'horofu on one core: median %.3f s\n' "$(median <"$work/one.times")"
fi
if [ "$modern" = yes ]; then
    modern_median=$(median <"$work/modern.times")
    printf 'horofu --modern: median %.3f s, %.2f times the classic page%s\n' "$modern_median" \
        "$(echo "$modern_median / $horofu_median" | bc -l)" "$(verdict '3 or less')"
fi
printf 'horofu/cp: median of paired ratios %.2f%s\n' "$(median <"$work/ratios")" "$(verdict '2.5 or less')"
printf 'perl:   %.3f s, %.1f times horofu%s; same page: %s\n' \
    "$perl_time" "$(echo "$perl_time / $horofu_median" | bc -l)" "$(verdict '20 or more')" "$same"
printf 'peak memory: %s KiB for 5 MB, %s KiB for %d MB%s\n' \
    "$(peak "$work/small.txt")" "$(peak "$work/thread.txt")" "$mb" "$(verdict 'under 16384')"
printf 'peak memory: %s KiB for a 100 MB line of <%s\n' "$(peak "$work/line.txt")" "$(verdict 'under 65536')"
if [ "$modern" = yes ]; then
    printf 'peak memory of the modern page: %s KiB for %d MB\n' \
        "$(/usr/bin/time -f %M "$horofu" -m -q -f -o "$work/peak.html" "$work/thread.txt" 2>&1 >/dev/null |
           tail -n 1)" "$mb"
fi
[ "$smoke" = yes ] && echo "benchmark smoke run: the benchmark works"
exit 0
