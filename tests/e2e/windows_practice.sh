#!/usr/bin/env bash
# The unpacked Windows zip as a practice installs it, in a Wine prefix of its own: under
# "C:\Program Files\lirn Quarn", the settings written with Wine's reg.exe and read back through
# quarn-reg. A request in the IBM-PC character set and a measurement give the report in a folder
# with an umlaut and, after "GDT-Export", the result byte for byte. The report held open without
# sharing keeps its bytes when the next measurement fails to replace it; the monitor unplugged
# and plugged in again reconnects; a second instance leaves the first one's report when closed;
# the window's placement comes back at the next start.
#   windows_practice.sh PROGRAM_DIR HOLD_FILE_EXE [SCREENSHOT_DIR]
set -uo pipefail

usage="usage: windows_practice.sh PROGRAM_DIR HOLD_FILE_EXE [SCREENSHOT_DIR]"
unpacked=${1:?$usage}
holder_built=${2:?$usage}
shots=${3:-}
exe=.exe
caption="lirn Quarn professional - Blutdruckmessung"
box_caption="lirn-quarn professional"
data=$(realpath "$(dirname "$0")/../data")

name=$(basename "$unpacked")
program_dir='C:\Program Files\lirn Quarn\'"$name"
program_file="$program_dir\\LirnQuarn.exe"
monitor_sim="$program_dir\\monitor-sim.exe"
launcher=(wine)

script_args=("$@")
source "$(dirname "$0")/common.sh" xdotool import pdftotext pdfinfo pdffonts pdftoppm wine \
    wineserver wineboot
new_user practice

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset WINEPATH
# The prefix's processes end before common.sh's cleanup removes the folder they run from.
trap 'wineserver -k 2>/dev/null; cleanup' EXIT

run() {
    local program=$1
    shift
    wine "$program_dir\\$program$exe" "$@"
}

windows_path() {
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}

gdt_line() {
    local LC_ALL=C
    local text=$1
    printf '%03d%s\r\n' $((${#text} + 5)) "$text"
}

box() {
    xdotool search --onlyvisible --name "^${box_caption}\$" 2>/dev/null | head -1
}

main_windows() {
    xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null
}

# "X Y" of a window as the X server places it.
position() {
    xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/^ *Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p'
}

# Sends the key to the box once it has the focus, then waits for the box to go.
answer_box() {
    local shown=$1 key=$2
    xdotool windowfocus --sync "$shown" 2>/dev/null
    xdotool key "$key"
    wait_for "the box answered" '[[ -z $(box) ]]'
}

# Wine takes the Windows user's locale from the Unix one, whose data glibc needs: built into the
# test's own folder when the system has no German locale generated.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    mkdir -p "$work/locales"
    localedef -i de_DE -f UTF-8 "$work/locales/de_DE.UTF-8" 2>/dev/null &&
        export LOCPATH=$work/locales
fi

echo "== a fresh prefix, the zip's folder in C:\\Program Files\\lirn Quarn"
started=$SECONDS
mkdir -p "$WINEPREFIX"
# One server for the whole run saves seconds at every process start; one the test leaves behind
# when it is killed ends on its own soon after the last program.
wineserver -p10
wineboot -i >/dev/null 2>&1 || fail "wineboot -i"
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/Program Files/lirn Quarn"
cp -r "$unpacked" "$drive_c/Program Files/lirn Quarn/"
check "the program in Program Files" [ -f "$drive_c/Program Files/lirn Quarn/$name/LirnQuarn.exe" ]
echo "   prefix ready after $((SECONDS - started)) s"
# Beside the test, not in the program's folder: no practice gets it.
holder=$work/hold-file.exe
cp "$holder_built" "$holder"

pdf_folder='C:\Praxis\Berichte Ärzte'
pdf_unix=$drive_c/Praxis/Berichte\ Ärzte
pdf=$pdf_unix/lirn.pdf
request=$drive_c/GDT/import.gdt
result=$drive_c/GDT/export.gdt
mkdir -p "$pdf_unix" "$drive_c/GDT"

echo "== the settings written with reg.exe, read back through quarn-reg"
reg_add() {
    wine reg add 'HKCU\Software\Lirn\Quarn\'"$1" /v "$2" /d "$3" /f >/dev/null 2>&1 ||
        fail "reg add $1 $2"
}
reg_add Directories PDF "$pdf_folder"
reg_add GDT Import 'C:\GDT\import.gdt'
reg_add GDT Export 'C:\GDT\export.gdt'
exported=$drive_c/quarn-settings.reg
run quarn-reg export 'HKCU\Software\Lirn\Quarn' 'C:\quarn-settings.reg' /y >/dev/null 2>&1 ||
    fail "quarn-reg export"
if [[ -s "$exported" ]]; then
    # regedit's form: UTF-16 with a byte-order mark; every line as "[key]|value".
    if [[ $(head -c 2 "$exported" | od -An -tx1 | tr -d ' ') == fffe ]]; then
        reg_text=$(iconv -f UTF-16 -t UTF-8 "$exported" | tr -d '\r')
    else
        reg_text=$(tr -d '\r' <"$exported")
    fi
    entries=$(awk '/^\[/ { key = $0; next } NF { print key "|" $0 }' <<<"$reg_text")
    for entry in \
        '[HKEY_CURRENT_USER\Software\Lirn\Quarn\Directories]|"PDF"="C:\\Praxis\\Berichte Ärzte"' \
        '[HKEY_CURRENT_USER\Software\Lirn\Quarn\GDT]|"Import"="C:\\GDT\\import.gdt"' \
        '[HKEY_CURRENT_USER\Software\Lirn\Quarn\GDT]|"Export"="C:\\GDT\\export.gdt"'; do
        check "exported: $entry" grep -qxF "$entry" <<<"$entries"
    done
else
    fail "no exported .reg file"
fi

echo "== the request consumed, a measurement shows the patient"
cp "$data/gdt/request_cp437_umlauts.gdt" "$request"
plug QSIM0001 "lirn Quarn Monitor"
plugged=${pids[-1]}
start_program || { finish; exit 1; }
first=$window
first_program=$program
run monitor-sim measure 120 80 72 93 >/dev/null 2>&1 || fail "monitor-sim measure failed"
wait_for "the request consumed" '[[ ! -e "$request" ]]'
wait_for "the PDF report in the umlaut folder" '[[ -s "$pdf" ]]' 300
snap practice-window
[[ -s "$pdf" ]] || { finish; exit 1; }

text=$(pdftotext -layout -enc UTF-8 "$pdf" - 2>/dev/null)
for row in "Systole +120 +mmHg" "Diastole +80 +mmHg" "Puls +72 +PUL/min\\." "MAD +93 +mmHg" \
    "Arrhythmie +Nein" "Müller-Lüdenscheid, Jörg ß" "4711" "0?5\\.0?3\\.1950"; do
    check "report shows '$row'" grep -Eq "$row" <<<"$text"
done
check "PDF/A part 1" grep -q 'pdfaid:part="1"' <<<"$(pdfinfo -meta "$pdf" 2>/dev/null)"
fonts=$(pdffonts "$pdf" 2>/dev/null | tail -n +3)
check "fonts in the PDF" [ -n "$fonts" ]
check "every font embedded" [ -z "$(awk '$(NF-4) != "yes"' <<<"$fonts")" ]
if [[ -n "$shots" ]]; then
    mkdir -p "$shots"
    pdftoppm -png -r 70 -singlefile "$pdf" "$shots/practice-report"
fi

echo "== GDT-Export, answered with OK: the result byte for byte"
# BtnExport sits at 20,21 in the bottom panel, which starts at 305.
xdotool mousemove --window "$window" 62 338 click 1
question=""
wait_for "the confirmation" 'question=$(box); [[ -n "$question" ]]'
[[ -n "$question" ]] && answer_box "$question" Return
wait_for "the result file" '[[ -s "$result" ]]'

# The lines as they must be, around the two that carry the measurement's date and time, which
# come from the file: they are checked for their form and rebuilt with their length fields.
expected_result() {
    local date_text=$1 stamp_text=$2 body size
    local surname=$'M\x81ller-L\x81denscheid' first_name=$'J\x94rg \xe1'
    body=$(
        gdt_line 8315PRAXIS01
        gdt_line 8316LIRN_QP
        gdt_line 921802.10
        gdt_line 30004711
        gdt_line "3101$surname"
        gdt_line "3102$first_name"
        gdt_line 310305031950
        gdt_line 8402BDM00
        gdt_line "$date_text"
        gdt_line "6228    lirn Quarn professional"
        gdt_line "6228============================"
        gdt_line "6228    Patient: $surname, $first_name"
        gdt_line "$stamp_text"
        gdt_line "6228    Systole: 120"
        gdt_line "6228    Diastole: 80"
        gdt_line "6228    Puls: 72"
        gdt_line "6228    MAD: 93"
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
if [[ -s "$result" ]]; then
    date_text=$(LC_ALL=C grep -a -m1 -o $'6200[^\r]*' "$result")
    stamp_text=$(LC_ALL=C grep -a -m1 -o $'6228    Messdatum: [^\r]*' "$result")
    check "measurement date '$date_text' is today's" [ "$date_text" == "6200$(date +%d%m%Y)" ]
    check "date and time line '$stamp_text'" \
        grep -Eqx '6228    Messdatum: [0-9]{1,2}\.[0-9]{1,2}\.[0-9]{4} [0-9]{1,2}:[0-9]{2}' \
        <<<"$stamp_text"
    expected_result "$date_text" "$stamp_text" >"$work/expected.gdt"
    if cmp -s "$result" "$work/expected.gdt"; then
        pass
    else
        fail "the result file differs from the record expected:"
        diff <(LC_ALL=C tr -d '\r' <"$work/expected.gdt" | od -c) \
            <(LC_ALL=C tr -d '\r' <"$result" | od -c) | head -20
    fi
fi

echo "== the report held open without sharing while the next measurement arrives"
cp "$pdf" "$work/first-report.pdf"
release=$work/release-report
wine "$holder" "$pdf_folder\\lirn.pdf" "$(windows_path "$release")" >"$work/hold.txt" 2>&1 &
holding=$!
pids+=("$holding")
wait_for "the report held" 'grep -q holding "$work/hold.txt"' 300
run monitor-sim measure 130 85 70 100 >/dev/null 2>&1 || fail "monitor-sim measure failed"
locked=""
wait_for "the error box" 'locked=$(box); [[ -n "$locked" ]]' 300
if [[ -n "$locked" ]]; then
    [[ -n "$shots" ]] && import -window "$locked" "$shots/practice-locked-report.png"
    answer_box "$locked" Return
fi
check "the held report keeps its bytes" cmp -s "$pdf" "$work/first-report.pdf"
check "the program still running after the box" kill -0 "$first_program"
touch "$release"
wait_for "the report let go" '! kill -0 '"$holding"' 2>/dev/null'
check "the report intact after it was let go" cmp -s "$pdf" "$work/first-report.pdf"

echo "== unplugged and plugged in again: the program reconnects"
run monitor-sim unplug >/dev/null 2>&1 || fail "monitor-sim unplug failed"
wait_for "the monitor gone" '! kill -0 '"$plugged"' 2>/dev/null'
plug QSIM0001 "lirn Quarn Monitor"
# The monitor refuses a measurement until a program has opened it.
wait_for "the program connected again" \
    'run monitor-sim measure 126 82 68 97 >/dev/null 2>&1' 100
wait_for "the next report" \
    'pdftotext -layout "$pdf" - 2>/dev/null | grep -Eq "Systole +126 +mmHg"' 300
text=$(pdftotext -layout -enc UTF-8 "$pdf" - 2>/dev/null)
for row in "Diastole +82 +mmHg" "Puls +68 +PUL/min\\." "MAD +97 +mmHg"; do
    check "next report shows '$row'" grep -Eq "$row" <<<"$text"
done
cp "$pdf" "$work/last-report.pdf"

echo "== a second instance, closed, leaves the first one's report"
wine "$program_file" 2>"$HOME/second-stderr.txt" &
second_program=$!
pids+=("$second_program")
second=""
wait_for "the second window" \
    'second=$(main_windows | grep -vx "$first" | head -1); [[ -n "$second" ]]' 600
if [[ -n "$second" ]]; then
    snap_window=$window
    window=$second
    snap practice-second-window
    window=$snap_window
    xdotool windowfocus --sync "$second" 2>/dev/null
    xdotool key Escape
    wait_for "the second instance to end" '! kill -0 '"$second_program"' 2>/dev/null' 300
fi
check "the first instance still running" kill -0 "$first_program"
check "the report still there, unchanged" cmp -s "$pdf" "$work/last-report.pdf"

echo "== the placement restored at the next start"
read -r x0 y0 <<<"$(position "$first")"
target_x=$((x0 < 300 ? x0 + 240 : x0 - 240))
target_y=$((y0 < 200 ? y0 + 150 : y0 - 150))
xdotool windowmove "$first" "$target_x" "$target_y"
moved=""
wait_for "the window moved" \
    'moved=$(position "$first"); [[ -n "$moved" && "$moved" != "$x0 $y0" ]]'
read -r x1 y1 <<<"$moved"
close_program
check "the report deleted at close" [ ! -e "$pdf" ]
start_program || { finish; exit 1; }
snap practice-restored
read -r x2 y2 <<<"$(position "$window")"
echo "   first at $x0,$y0, moved to $x1,$y1, restored at $x2,$y2"
# The stored placement is the frame's, xdotool reports the client's: the frame's offset must
# come out the same at both ends, within a few pixels.
within() {
    local difference=$(($1 - $2))
    ((difference < 0)) && difference=$((-difference))
    ((difference <= $3))
}
check "restored at $x2,$y2 where it was moved ($x1,$y1)" within "${x2:-0}" "$x1" 4
check "restored row $y2 against $y1" within "${y2:-0}" "$y1" 4
check "not back at the first place ($x0,$y0)" [ "${x2:-0},${y2:-0}" != "$x0,$y0" ]
close_program

run monitor-sim unplug >/dev/null 2>&1
echo "   done after $((SECONDS - started)) s"
finish
