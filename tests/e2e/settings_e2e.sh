#!/usr/bin/env bash
# The settings dialog under a real X server, driven by the keyboard: "&Einstellungen" opens it,
# the new folder, a ticked "Anzeigen" and the GDT paths typed into it are in the hive after OK,
# and the report file lies no longer in the new folder but still in the old one.
#   settings_e2e.sh BIN_DIR [SCREENSHOT_DIR]
set -uo pipefail

bin=${1:?usage: settings_e2e.sh BIN_DIR [SCREENSHOT_DIR]}
shots=${2:-}
caption="lirn Quarn professional - Blutdruckmessung"

script_args=("$@")
source "$(dirname "$0")/common.sh" xdotool import
new_user home

old=$HOME/alt
new=$HOME/neu
gdt=$HOME/gdt
mkdir -p "$old" "$new" "$gdt"
echo "%PDF-1.4" >"$old/lirn.pdf"
echo "%PDF-1.4" >"$new/lirn.pdf"
"$bin/quarn-reg" add 'HKCU\Software\Lirn\Quarn\Directories' /v PDF /d "$old" /f >/dev/null ||
    fail "quarn-reg add"

stored() {
    "$bin/quarn-reg" query 'HKCU\Software\Lirn\Quarn\'"$1" /v "$2" 2>/dev/null |
        awk -v name="$2" '$1 == name && $2 == "REG_SZ" { sub(/^ *[^ ]+ +REG_SZ +/, ""); print }'
}

dialog_window() {
    xdotool search --onlyvisible --name "^Einstellungen\$" 2>/dev/null | head -1
}

# Replaces the text of the focused edit.
retype() {
    xdotool key --window "$dialog" ctrl+a
    xdotool type --window "$dialog" --delay 5 "$1"
}

start_program || exit 1

echo "== Alt+E opens the dialog"
xdotool windowfocus --sync "$window" key --window "$window" alt+e
dialog=""
wait_for "the settings dialog" 'dialog=$(dialog_window); [[ -n "$dialog" ]]'
[[ -n "$dialog" ]] || exit 1
xdotool windowfocus --sync "$dialog"

echo "== folder, Anzeigen, import and export file typed in; Enter presses OK"
retype "$new"
xdotool key --window "$dialog" Tab space Tab Tab
retype "$gdt/anfrage.gdt"
xdotool key --window "$dialog" Tab
retype "$gdt/ergebnis.gdt"
[[ -n "$shots" ]] && mkdir -p "$shots" && import -window "$dialog" "$shots/settings-dialog-filled.png"
xdotool key Return
wait_for "the dialog closed" '[[ -z $(dialog_window) ]]'

check "PDF folder: $(stored Directories PDF)" [ "$(stored Directories PDF)" == "$new" ]
check "Show: $(stored PDF Show)" [ "$(stored PDF Show)" == "YES" ]
check "Print: $(stored PDF Print)" [ "$(stored PDF Print)" == "NO" ]
check "Import: $(stored GDT Import)" [ "$(stored GDT Import)" == "$gdt/anfrage.gdt" ]
check "Export: $(stored GDT Export)" [ "$(stored GDT Export)" == "$gdt/ergebnis.gdt" ]
check "report in the new folder deleted" [ ! -e "$new/lirn.pdf" ]
check "report in the old folder kept" [ -e "$old/lirn.pdf" ]

close_program
finish
