#!/usr/bin/env bash
# The road of one measurement through the built program under a real X server: the folders set
# in the settings dialog by keyboard, the practice software's request in place, a measurement
# from the virtual monitor. Checked: the request consumed, the report in the PDF folder with the
# five values and the patient, and after "GDT-Export" and OK the result file byte for byte, its
# date and time written as a German desktop writes them.
#   measurement_e2e.sh BIN_DIR [SCREENSHOT_DIR]
set -uo pipefail

bin=${1:?usage: measurement_e2e.sh BIN_DIR [SCREENSHOT_DIR]}
shots=${2:-}
caption="lirn Quarn professional - Blutdruckmessung"
box_caption="lirn-quarn professional"

script_args=("$@")
source "$(dirname "$0")/common.sh" xdotool import pdftotext
new_user home

pdf=$HOME/Berichte
gdt=$HOME/gdt
request=$gdt/anfrage.gdt
result=$gdt/ergebnis.gdt
mkdir -p "$pdf" "$gdt"

# One GDT line: length field, text, CR LF; the text's bytes as given.
gdt_line() {
    local LC_ALL=C
    local text=$1
    printf '%03d%s\r\n' $((${#text} + 5)) "$text"
}

# "Müller" in the IBM-PC character set: ü is 0x81, one byte.
surname=$(printf 'M\x81ller')

# The result record as the practice software must find it, for a measurement at "$1" (the
# window's "dd.MM.yyyy HH:mm").
expected_result() {
    local stamp=$1 body size
    body=$(
        gdt_line 8315PRAXIS01
        gdt_line 8316LIRN_QP
        gdt_line 921802.10
        gdt_line 30004711
        gdt_line "3101$surname"
        gdt_line 3102Erika
        gdt_line 310305031950
        gdt_line 8402BDM00
        gdt_line "6200${stamp:0:2}${stamp:3:2}${stamp:6:4}"
        gdt_line "6228    lirn Quarn professional"
        gdt_line "6228============================"
        gdt_line "6228    Patient: $surname, Erika"
        gdt_line "6228    Messdatum: $stamp"
        gdt_line "6228    Systole: 128"
        gdt_line "6228    Diastole: 84"
        gdt_line "6228    Puls: 72"
        gdt_line "6228    MAD: 99"
        gdt_line "6228    Arrhythmie: Nein"
        gdt_line "6228============================"
        printf x
    )
    body=${body%x}
    size=$(($(LC_ALL=C printf '%s' "$body" | wc -c) + 13 + 14))
    gdt_line 80006310
    printf '0148100%05d\r\n' "$size"
    printf '%s' "$body"
}

dialog_window() {
    xdotool search --onlyvisible --name "^Einstellungen\$" 2>/dev/null | head -1
}

box() {
    xdotool search --onlyvisible --name "^${box_caption}\$" 2>/dev/null | head -1
}

# Replaces the text of the focused edit.
retype() {
    xdotool key --window "$dialog" ctrl+a
    xdotool type --window "$dialog" --delay 5 "$1"
}

plug QSIM0001 "lirn Quarn Monitor"
start_program || exit 1

echo "== the folders set in the settings dialog"
xdotool windowfocus --sync "$window" key --window "$window" alt+e
dialog=""
wait_for "the settings dialog" 'dialog=$(dialog_window); [[ -n "$dialog" ]]'
[[ -n "$dialog" ]] || exit 1
xdotool windowfocus --sync "$dialog"
retype "$pdf"
# "Anzeigen" and "Drucken" stay off: the report is only written.
xdotool key --window "$dialog" Tab Tab Tab
retype "$request"
xdotool key --window "$dialog" Tab
retype "$result"
xdotool key Return
wait_for "the dialog closed" '[[ -z $(dialog_window) ]]'

echo "== the request in place, a measurement from the monitor"
{
    gdt_line 80006302
    gdt_line 8316PRAXIS01
    gdt_line 921802.10
    gdt_line 30004711
    gdt_line "3101$surname"
    gdt_line 3102Erika
    gdt_line 310305031950
} >"$request"
before=$(date '+%d.%m.%Y %H:%M')
"$bin/monitor-sim" measure 128 84 72 99 >/dev/null || fail "monitor-sim measure failed"
wait_for "the request consumed" '[[ ! -e "$request" ]]'
wait_for "the report in the PDF folder" '[[ -s "$pdf/lirn.pdf" ]]'
after=$(date '+%d.%m.%Y %H:%M')
snap measurement-window

if [[ -s "$pdf/lirn.pdf" ]]; then
    report=$(pdftotext -layout "$pdf/lirn.pdf" - 2>/dev/null)
    for value in Systole Diastole Puls MAD Arrhythmie; do
        check "report names $value" grep -q "$value" <<<"$report"
    done
    for value in 128 84 72 99 Nein; do
        check "report holds $value" grep -qw "$value" <<<"$report"
    done
    check "report holds the patient" grep -q "Müller, Erika" <<<"$report"
    check "report holds the patient number" grep -qw 4711 <<<"$report"
    if [[ -n "$shots" ]] && command -v pdftoppm >/dev/null; then
        pdftoppm -png -r 70 -singlefile "$pdf/lirn.pdf" "$shots/measurement-report"
    fi
fi

echo "== GDT-Export, answered with OK"
# BtnExport sits at 20,21 in the bottom panel, which starts at 305.
xdotool mousemove --window "$window" 62 338 click 1
question=""
wait_for "the confirmation" 'question=$(box); [[ -n "$question" ]]'
[[ -n "$question" ]] && xdotool windowfocus --sync "$question" key Return
wait_for "the result file" '[[ -s "$result" ]]'
wait_for "the confirmation closed" '[[ -z $(box) ]]'

expected_result "$before" >"$HOME/expected-before.gdt"
expected_result "$after" >"$HOME/expected-after.gdt"
if cmp -s "$result" "$HOME/expected-before.gdt" || cmp -s "$result" "$HOME/expected-after.gdt"; then
    pass
else
    fail "the result file differs from the record expected:"
    diff <(tr -d '\r' <"$HOME/expected-before.gdt") <(tr -d '\r' <"$result")
fi

close_program
finish
