#!/usr/bin/env bash
# The program under a real X server with virtual monitors: its caption and client height with
# none and with two monitors, a measurement that monitor-sim sends showing up in the window, and
# the window placement in the hive after closing.
#   window_e2e.sh BIN_DIR [SCREENSHOT_DIR]
set -uo pipefail

bin=${1:?usage: window_e2e.sh BIN_DIR [SCREENSHOT_DIR]}
shots=${2:-}
caption="lirn Quarn professional - Blutdruckmessung"

for tool in xvfb-run xdotool xwininfo import convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing"
        exit 77
    fi
done
if [[ -z "${QUARN_E2E_UNDER_XVFB:-}" ]]; then
    QUARN_E2E_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

passes=0
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    passes=$((passes + 1))
}

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A fresh user for each scenario: own home, settings hive and runtime folder.
new_user() {
    export HOME="$work/$1"
    export XDG_CONFIG_HOME="$HOME/config" XDG_RUNTIME_DIR="$HOME/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}

plug() {
    "$bin/monitor-sim" plug --serial "$1" --description "$2" >/dev/null &
    pids+=($!)
    wait_for "monitor $1 listed" "'$bin/monitor-sim' list | grep -q '$1'"
}

wait_for() {
    local what=$1 condition=$2
    for _ in $(seq 1 100); do
        eval "$condition" && pass && return 0
        sleep 0.1
    done
    fail "timed out waiting for $what"
    return 1
}

start_program() {
    "$bin/LirnQuarn" 2>"$HOME/stderr.txt" &
    program=$!
    pids+=("$program")
    window=""
    wait_for "the main window" \
        'window=$(xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null | head -1); [[ -n "$window" ]]'
}

client_height() {
    xwininfo -id "$window" | awk '/Height:/ {print $2}'
}

expect_window() {
    local height=$1
    local name
    name=$(xdotool getwindowname "$window")
    if [[ "$name" == "$caption" ]]; then pass; else fail "caption is '$name'"; fi
    wait_for "client height $height" '[[ $(client_height) == '"$height"' ]]' ||
        echo "  height is $(client_height)"
}

# The value column of the window: systole to arrhythmia, right-aligned up to x 172.
value_column() {
    import -window "$window" -crop 100x150+72+150 +repage "$HOME/values.png" 2>/dev/null
    convert "$HOME/values.png" -threshold 50% -format "%[fx:mean]" info:
}

snap() {
    [[ -n "$shots" ]] || return 0
    mkdir -p "$shots"
    import -window "$window" "$shots/$1.png"
}

close_program() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key --window "$window" Escape 2>/dev/null
    wait_for "the program to end" '! kill -0 '"$program"' 2>/dev/null'
}

echo "== no monitor"
new_user none
start_program && {
    expect_window 384
    snap window-0-monitors
    close_program
}
placement=$("$bin/quarn-reg" query 'HKCU\Software\Lirn\Quarn\Forms')
echo "$placement"
if grep -Eq 'FrmMain +REG_SZ +-?[0-9]+,-?[0-9]+,394,384,0$' <<<"$placement"; then
    pass
else
    fail "no placement of FrmMain in the hive"
fi

echo "== one monitor, one measurement"
new_user one
plug QSIM0001 "lirn Quarn Monitor"
start_program && {
    expect_window 384
    snap window-1-monitor
    before=$(value_column)
    "$bin/monitor-sim" measure 120 80 72 93 >/dev/null || fail "monitor-sim measure failed"
    wait_for "the measurement in the window" '[[ $(value_column) != "$before" ]]'
    snap window-after-measurement
    close_program
}

echo "== two monitors"
new_user two
plug QSIM0001 "lirn Quarn Monitor"
plug QSIM0002 "lirn Quarn Monitor"
start_program && {
    expect_window 434
    snap window-2-monitors
    close_program
}

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
