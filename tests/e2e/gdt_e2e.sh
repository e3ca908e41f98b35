#!/usr/bin/env bash
# The GDT round trip under a real X server: a request file in place, a measurement from
# monitor-sim shows the patient, consumes the request and writes the PDF report of values and
# patient; "GDT-Export" with OK writes the result; closing deletes the report.
#   gdt_e2e.sh BIN_DIR [SCREENSHOT_DIR]
set -uo pipefail

bin=${1:?usage: gdt_e2e.sh BIN_DIR [SCREENSHOT_DIR]}
shots=${2:-}
caption="lirn Quarn professional - Blutdruckmessung"
box_caption="lirn-quarn professional"

script_args=("$@")
source "$(dirname "$0")/common.sh" xdotool import convert pdftotext pdfinfo pdffonts pdftoppm qpdf
new_user home

# One GDT line: length field, text, CR LF; the text's bytes as given.
gdt_line() {
    local LC_ALL=C
    local text=$1
    printf '%03d%s\r\n' $((${#text} + 5)) "$text"
}

gdt=$HOME/gdt
mkdir -p "$gdt" "$HOME/pdf"
request=$gdt/import.gdt
result=$gdt/export.gdt
# "Müller" in the IBM-PC character set: ü is 0x81, one byte.
surname=$(printf 'M\x81ller')
{
    gdt_line 80006302
    gdt_line 8316PRAXIS01
    gdt_line 921802.10
    gdt_line 30004711
    gdt_line "3101$surname"
    gdt_line 3102Erika
    gdt_line 310305031950
} >"$request"

quarn_reg_add() {
    "$bin/quarn-reg" add 'HKCU\Software\Lirn\Quarn\'"$1" /v "$2" /d "$3" /f >/dev/null ||
        fail "quarn-reg add $1 $2"
}
quarn_reg_add GDT Import "$request"
quarn_reg_add GDT Export "$result"
quarn_reg_add Directories PDF "$HOME/pdf"

plug QSIM0001 "lirn Quarn Monitor"
start_program || exit 1

# The name label beside "Name:"; it shows "-" until a patient is taken.
name_label() {
    import -window "$window" -crop 183x14+102+13 +repage "$HOME/name.png" 2>/dev/null
    convert "$HOME/name.png" -threshold 50% -format "%[fx:mean]" info:
}

box() {
    xdotool search --onlyvisible --name "^${box_caption}\$" 2>/dev/null | head -1
}

echo "== a measurement with a request in place"
before=$(name_label)
"$bin/monitor-sim" measure 120 80 72 93 >/dev/null || fail "monitor-sim measure failed"
wait_for "the request file consumed" '[[ ! -e "$request" ]]'
wait_for "the patient in the window" '[[ $(name_label) != "$before" ]]'
snap window-with-patient

echo "== the report of the measurement"
pdf=$HOME/pdf/lirn.pdf
wait_for "the PDF report" '[[ -s "$pdf" ]]'
if [[ -s "$pdf" ]]; then
    text=$(pdftotext -layout -enc UTF-8 "$pdf" -)
    for row in "Systole +120 +mmHg" "Diastole +80 +mmHg" "Puls +72 +PUL/min\\." "MAD +93 +mmHg" \
        "Arrhythmie +Nein" "Müller, Erika" "4711" "05\\.03\\.1950" "Messung vom [0-9]"; do
        check "report shows '$row'" grep -Eq "$row" <<<"$text"
    done
    meta=$(pdfinfo -meta "$pdf")
    check "PDF/A part 1" grep -q 'pdfaid:part="1"' <<<"$meta"
    check "PDF/A conformance B" grep -q 'pdfaid:conformance="B"' <<<"$meta"
    fonts=$(pdffonts "$pdf" | tail -n +3)
    check "fonts in the PDF" [ -n "$fonts" ]
    check "every font embedded" [ -z "$(awk '$(NF-4) != "yes"' <<<"$fonts")" ]
    check "qpdf finds nothing" qpdf --check "$pdf"
    [[ -n "$shots" ]] && pdftoppm -png -r 100 -singlefile "$pdf" "$shots/report-page"
fi

echo "== GDT-Export, answered with OK"
# BtnExport sits at 20,21 in the bottom panel, which starts at 305.
xdotool mousemove --window "$window" 62 338 click 1
question=""
wait_for "the confirmation" 'question=$(box); [[ -n "$question" ]]'
[[ -n "$question" ]] && xdotool windowfocus --sync "$question" key Return
wait_for "the result file" '[[ -s "$result" ]]'
wait_for "the confirmation closed" '[[ -z $(box) ]]'

if [[ -s "$result" ]]; then
    mapfile -t lines < <(tr -d '\r' <"$result")
    size=$(stat -c %s "$result")
    check "21 lines: ${#lines[@]}" [ "${#lines[@]}" -eq 21 ]
    check "a CR LF after every line" [ "$(grep -c $'\r$' "$result")" -eq 21 ]
    check "record type 6310: ${lines[0]}" [ "${lines[0]}" == "01380006310" ]
    check "record length $size: ${lines[1]}" [ "${lines[1]}" == "$(printf '0148100%05d' "$size")" ]
    check "receiver: ${lines[2]}" [ "${lines[2]}" == "0178315PRAXIS01" ]
    check "patient number: ${lines[5]}" [ "${lines[5]}" == "01330004711" ]
    check "surname in the IBM-PC set" [ "${lines[6]}" == "0153101$surname" ]
    check "first name: ${lines[7]}" [ "${lines[7]}" == "0143102Erika" ]
    check "birth date: ${lines[8]}" [ "${lines[8]}" == "017310305031950" ]
    check "patient text line" [ "${lines[13]}" == "0356228    Patient: $surname, Erika" ]
    check "measurement date: ${lines[10]}" [ "${lines[10]}" == "0176200$(date +%d%m%Y)" ]
    check "systole: ${lines[15]}" [ "${lines[15]}" == "0256228    Systole: 120" ]
    check "diastole: ${lines[16]}" [ "${lines[16]}" == "0256228    Diastole: 80" ]
    check "pulse: ${lines[17]}" [ "${lines[17]}" == "0216228    Puls: 72" ]
    check "MAD: ${lines[18]}" [ "${lines[18]}" == "0206228    MAD: 93" ]
    check "arrhythmia: ${lines[19]}" [ "${lines[19]}" == "0296228    Arrhythmie: Nein" ]
fi

close_program
check "the report deleted at close" [ ! -e "$pdf" ]
finish
