#!/usr/bin/env bash
# The console's echo rate under Wine on an Xvfb display of its own: the records of a
# generated 10,000-post thread printed with scrolled pixels and one text call per line, and
# the first RECORDS of them the literal way (one call per character, every line redrawn
# after each scroll). Prints both rates in records per second.
# Usage: echo_bench.sh WINDOWS_BUILD_DIR [RECORDS]   (default 500)
set -euo pipefail
build=$(realpath "${1:-build-win}")
records=${2:-500}
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=$build/bench/win32/echo_bench.exe
work=$(mktemp -d)
source "$root/tests/win32/wine-test-lib.sh"
trap 'stop_xvfb; rm -rf "$work"' EXIT
start_xvfb "$work" || { echo "no X display" >&2; exit 1; }

cd "$work"
"$root/tools/wine-run" "$bench" runs.txt runs
"$root/tools/wine-run" "$bench" chars.txt chars "$records"
echo "scrolled pixels, a text call per line:  $(cat runs.txt)"
echo "a call per character, every line redrawn: $(cat chars.txt)"
