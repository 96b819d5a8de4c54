# What the scripts that drive Windows programs under Wine share (tests/win32/*.sh,
# bench/win32/echo_bench.sh): test-lib.sh's checks, waiting, an Xvfb display of their own,
# and the close box of a window manager. Sourced; sets no shell options of its own.

source "${BASH_SOURCE%/*}/../test-lib.sh"
xvfb_pid=''

until_true() {  # until_true SECONDS COMMAND...: runs the command every 0.3 s until it succeeds
    local until=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS >= until)) && return 1
        sleep 0.3
    done
}

# start_xvfb WORK_DIR: a display of its own on the first free number (HOROFU_DISPLAY=:N picks
# one), exported as DISPLAY; stop_xvfb ends it. Fails when none comes up.
start_xvfb() {
    if [[ -n ${HOROFU_DISPLAY:-} ]]; then
        export DISPLAY=$HOROFU_DISPLAY
        Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
    else
        rm -f "$1/display"
        Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$1/display" >/dev/null 2>&1 &
        xvfb_pid=$!
        until_true 10 test -s "$1/display" || return 1
        export DISPLAY=:$(head -n1 "$1/display")
    fi
    until_true 10 xdpyinfo >/dev/null 2>&1
}
stop_xvfb() {
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    xvfb_pid=''
}

# build_close_window SOURCE_DIR OUT: OUT WINDOW-ID then asks the X window to close, as a
# window manager's close box does (Xvfb has no window manager).
build_close_window() {
    [[ -x $2 && $2 -nt $1/tests/win32/close_window.c ]] && return 0
    cc -O2 -o "$2" "$1/tests/win32/close_window.c" -lX11
}

# The exact title of an X window, UTF-8 (xdotool sees only the Latin-1 one).
utf8_title() {
    xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME([A-Z0-9_]*) = "\(.*\)"$/\1/p'
}

# The Windows spelling of a Unix path (Wine's drive Z: is the Unix root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Bytes in hex, as window_texts.exe shows texts.
hex() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }
sjis_hex() { printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -tx1 -v | tr -d ' \n'; }
