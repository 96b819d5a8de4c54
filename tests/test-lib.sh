# What the test scripts share (tests/*.sh, and through wine-test-lib.sh the Wine ones): counted
# checks, notes, the usual expectations, and the horofu command's working folder. Sourced;
# sets no shell options of its own.

passed=0 failed=0
started=$SECONDS

note() { printf '[%3ds] %s\n' $((SECONDS - started)) "$*"; }

check() {  # check NAME COMMAND...: the command must succeed
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        note "FAILED: $name"
    fi
}

# finish [LABEL]: the counts; succeeds when nothing failed.
finish() {
    echo "${1:+$1: }$passed passed, $failed failed ($((SECONDS - started)) s)"
    ((failed == 0))
}

status_is() { [[ $1 == "$2" ]] || { note "  exit status $1, expected $2"; return 1; }; }
contains() { grep -qF -- "$2" "$1" || { note "  $1 lacks: $2"; cat "$1"; return 1; }; }
lacks() { ! grep -qF -- "$2" "$1" || { note "  $1 has: $2"; return 1; }; }
only_entries() {  # only_entries FOLDER NAME...: the folder holds these names and no others
    local want got
    want=$( (($# > 1)) && printf '%s\n' "${@:2}" | sort)
    got=$(ls -A "$1" | sort)
    [[ $got == "$want" ]] || { note "  $1 holds: $(tr '\n' ' ' <<<"$got")"; return 1; }
}

# start_horofu_test PATH/TO/horofu: for the horofu command's scripts. horofu is the command;
# work, the current folder, is new and goes on exit with the processes listed in helpers;
# messages are Japanese unless a check says LC_ALL=C.UTF-8.
start_horofu_test() {
    horofu=$(realpath "$1")
    work=$(mktemp -d)
    helpers=()
    trap 'for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null; done; rm -rf "$work"' EXIT
    cd "$work" || exit 1
    export LC_ALL=ja_JP.UTF-8
    unset LANGUAGE  # gettext would follow it over LC_ALL
}

# runs STATUS NAME ARGS...: horofu ARGS, its messages into err, must end with STATUS.
runs() {
    local want=$1 name=$2
    shift 2
    "$horofu" "$@" 2>err
    check "$name" status_is $? "$want"
}
