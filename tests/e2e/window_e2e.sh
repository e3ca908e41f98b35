#!/usr/bin/env bash
# The program under a real X server with virtual monitors: its caption and client height with
# none and with two monitors, a measurement that monitor-sim sends showing up in the window, and
# the window placement in the hive after closing.
#   window_e2e.sh BIN_DIR [SCREENSHOT_DIR]
set -uo pipefail

bin=${1:?usage: window_e2e.sh BIN_DIR [SCREENSHOT_DIR]}
shots=${2:-}
caption="lirn Quarn professional - Blutdruckmessung"

script_args=("$@")
source "$(dirname "$0")/common.sh" xdotool xwininfo import convert

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
mkdir -p "$HOME/pdf"
"$bin/quarn-reg" add 'HKCU\Software\Lirn\Quarn\Directories' /v PDF /d "$HOME/pdf" /f >/dev/null ||
    fail "quarn-reg add Directories PDF"
plug QSIM0001 "lirn Quarn Monitor"
start_program && {
    expect_window 384
    snap window-1-monitor
    before=$(value_column)
    "$bin/monitor-sim" measure 120 80 72 93 >/dev/null || fail "monitor-sim measure failed"
    wait_for "the measurement in the window" '[[ $(value_column) != "$before" ]]'
    wait_for "its report" '[[ -s "$HOME/pdf/lirn.pdf" ]]'
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

finish
