#!/usr/bin/env bash
# The Windows program under Wine with its windows platform on a real X server: a virtual monitor
# over the named pipe, a request of the practice software in place; a measurement shows up, the
# PDF report holds its values, the patient and embedded fonts, "GDT-Export" writes the result,
# and closing ends the program and deletes the report.
#   windows_smoke.sh BIN_DIR WINE_RUN [SCREENSHOT_DIR]
set -uo pipefail

bin=${1:?usage: windows_smoke.sh BIN_DIR WINE_RUN [SCREENSHOT_DIR]}
launcher=("${2:?usage: windows_smoke.sh BIN_DIR WINE_RUN [SCREENSHOT_DIR]}")
shots=${3:-}
exe=.exe
caption="lirn Quarn professional - Blutdruckmessung"
box_caption="lirn-quarn professional"

script_args=("$@")
source "$(dirname "$0")/common.sh" xdotool import pdftotext pdfinfo pdffonts
# The Unix home only holds the files; the Windows programs keep to the build's Wine prefix.
new_user windows

# A Unix path as the Windows programs see it: on drive Z:, with backslashes.
windows_path() {
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}

gdt_line() {
    local LC_ALL=C
    local text=$1
    printf '%03d%s\r\n' $((${#text} + 5)) "$text"
}

gdt=$HOME/gdt
pdf_dir=$HOME/pdf
mkdir -p "$gdt" "$pdf_dir"
request=$gdt/import.gdt
result=$gdt/export.gdt
{
    gdt_line 80006302
    gdt_line 8316PRAXIS01
    gdt_line 921802.10
    gdt_line 30004711
    gdt_line 3101Muster
    gdt_line 3102Erika
    gdt_line 310305031950
} >"$request"

# A wineserver kept for the prefix (WINEPREFIX, as scripts/test-windows keeps one) holds the
# desktop that a program started without an X display brought up (a boot, a test on the offscreen
# platform); the windows would go there, where no X server shows them. The server ends, and the
# program's start brings a desktop up on this display.
if [[ -n "${WINEPREFIX:-}" ]]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
fi

# Wine takes the Windows user's locale from the Unix one, whose data glibc needs: built into the
# test's own folder when the system has no German locale generated.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    mkdir -p "$work/locales"
    localedef -i de_DE -f UTF-8 "$work/locales/de_DE.UTF-8" 2>/dev/null &&
        export LOCPATH=$work/locales
fi

run quarn-reg delete 'HKCU\Software\Lirn' /f >/dev/null 2>&1
quarn_reg_add() {
    run quarn-reg add 'HKCU\Software\Lirn\Quarn\'"$1" /v "$2" /d "$3" /f >/dev/null ||
        fail "quarn-reg add $1 $2"
}
quarn_reg_add GDT Import "$(windows_path "$request")"
quarn_reg_add GDT Export "$(windows_path "$result")"
quarn_reg_add Directories PDF "$(windows_path "$pdf_dir")"

box() {
    xdotool search --onlyvisible --name "^${box_caption}\$" 2>/dev/null | head -1
}

echo "== start with a virtual monitor"
plug QSIM0001 "lirn Quarn Monitor"
start_program || exit 1

echo "== a measurement with a request in place"
run monitor-sim measure 120 80 72 93 >/dev/null || fail "monitor-sim measure failed"
wait_for "the request file consumed" '[[ ! -e "$request" ]]'
pdf=$pdf_dir/lirn.pdf
wait_for "the PDF report" '[[ -s "$pdf" ]]'
snap windows-smoke

echo "== the report of the measurement"
# German dates, in the user's short format: "dd.MM.yyyy" on Windows, "d.M.yyyy" in Wine's data.
if [[ -s "$pdf" ]]; then
    text=$(pdftotext -layout -enc UTF-8 "$pdf" -)
    for row in "Systole +120 +mmHg" "Diastole +80 +mmHg" "Puls +72 +PUL/min\\." "MAD +93 +mmHg" \
        "Arrhythmie +Nein" "Muster, Erika" "4711" "0?5\\.0?3\\.1950" \
        "Messung vom [0-9]{1,2}\\.[0-9]{1,2}\\.[0-9]{4}"; do
        check "report shows '$row'" grep -Eq "$row" <<<"$text"
    done
    check "PDF/A part 1" grep -q 'pdfaid:part="1"' <<<"$(pdfinfo -meta "$pdf")"
    fonts=$(pdffonts "$pdf" | tail -n +3)
    check "fonts in the PDF" [ -n "$fonts" ]
    check "every font embedded" [ -z "$(awk '$(NF-4) != "yes"' <<<"$fonts")" ]
fi

echo "== GDT-Export, answered with OK"
# BtnExport sits at 20,21 in the bottom panel, which starts at 305.
xdotool mousemove --window "$window" 62 338 click 1
question=""
wait_for "the confirmation" 'question=$(box); [[ -n "$question" ]]'
[[ -n "$question" ]] && xdotool windowfocus --sync "$question" key --window "$question" Return 2>/dev/null
wait_for "the result file" '[[ -s "$result" ]]'
if [[ -s "$result" ]]; then
    mapfile -t lines < <(tr -d '\r' <"$result")
    check "record type 6310: ${lines[0]}" [ "${lines[0]}" == "01380006310" ]
    check "patient number: ${lines[5]}" [ "${lines[5]}" == "01330004711" ]
    check "systole: ${lines[15]}" [ "${lines[15]}" == "0256228    Systole: 120" ]
fi

echo "== closed"
close_program
check "the report deleted at close" [ ! -e "$pdf" ]
run monitor-sim unplug >/dev/null 2>&1
run quarn-reg delete 'HKCU\Software\Lirn' /f >/dev/null 2>&1
finish
