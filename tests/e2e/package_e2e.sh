#!/usr/bin/env bash
# The Debian package: cpack builds it from the build tree, it holds the installed layout, its
# desktop entry and AppStream data pass their validators, and the program unpacked from it runs
# with the packaged virtual monitor and writes a report from its packaged report project.
#   package_e2e.sh BUILD_DIR
set -uo pipefail

build=${1:?usage: package_e2e.sh BUILD_DIR}
bin=""
shots=""
caption="lirn Quarn professional - Blutdruckmessung"

script_args=("$@")
# cpack finds the libraries the package depends on with dpkg-shlibdeps, which runs file.
source "$(dirname "$0")/common.sh" cpack dpkg-deb dpkg-shlibdeps file desktop-file-validate \
    appstreamcli xdotool pdftotext

root=$work/root
bin=$root/usr/bin
program_file=$bin/lirn-quarn
monitor_sim=$bin/quarn-monitor-sim

echo "== cpack builds the package"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
fi
deb=$(find "$work/package" -maxdepth 1 -name 'lirn-quarn_*_amd64.deb' | head -1)
check "a package lirn-quarn_<version>_amd64.deb" [ -n "$deb" ]
[[ -n "$deb" ]] || {
    finish
    exit
}

echo "== its files"
contents=$(dpkg-deb -c "$deb")
listing=$(awk '{ sub(/^\./, "", $6); print $6 }' <<<"$contents")
expected=(
    /usr/bin/lirn-quarn /usr/bin/quarn-reg /usr/bin/quarn-monitor-sim
    /usr/lib/lirn-quarn/LirnQuarn /usr/lib/lirn-quarn/LirnQuarn.rav
    /usr/lib/lirn-quarn/LirnQuarnLogo.png /usr/lib/lirn-quarn/LiberationSans-Regular.ttf
    /usr/share/applications/de.lirn.quarn.desktop
    /usr/share/metainfo/de.lirn.quarn.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/lirn-quarn.svg
    /usr/lib/udev/rules.d/70-lirn-quarn-ftdi.rules
    /usr/share/man/man1/lirn-quarn.1.gz
    /usr/share/man/man1/quarn-reg.1.gz
    /usr/share/man/man1/quarn-monitor-sim.1.gz
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/lirn-quarn.png")
done
for path in "${expected[@]}"; do
    check "$path in the package" grep -qx "$path" <<<"$listing"
done
check "bin/lirn-quarn links to the program beside its report project" \
    grep -q '\./usr/bin/lirn-quarn -> \.\./lib/lirn-quarn/LirnQuarn$' <<<"$contents"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libftdi1-2 libsqlite3-0; do
    check "depends on $library: $depends" grep -q "$library" <<<"$depends"
done
dpkg-deb -e "$deb" "$work/control"
check "postinst reloads the udev rules" grep -q 'udevadm control --reload-rules' \
    "$work/control/postinst"

echo "== desktop entry, AppStream data, udev rule, manual pages"
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/de.lirn.quarn.desktop
said=$(desktop-file-validate "$desktop" 2>&1)
status=$?
check "desktop-file-validate finds nothing: $said" [ "$status" -eq 0 -a -z "$said" ]
icon=$(sed -n 's/^Icon=//p' "$desktop")
check "the entry's icon $icon is in the theme" \
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]
command=$(sed -n 's/^Exec=//p' "$desktop")
check "the entry starts $command from bin" [ -x "$bin/$command" ]
metainfo=$root/usr/share/metainfo/de.lirn.quarn.metainfo.xml
said=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1)
status=$?
check "appstreamcli validate finds nothing: $said" [ "$status" -eq 0 ]
check "appstreamcli has no remark" bash -c '! grep -q "^[EWIP]:" <<<"$1"' _ "$said"
# systemd's 73-seat-late.rules turns the uaccess tag into access: the rule must come first.
rule=$(basename "$(grep -x '/usr/lib/udev/rules.d/.*\.rules' <<<"$listing")")
check "udev rule $rule sorts before 73-seat-late.rules" [ "${rule%%-*}" -lt 73 ]
for page in "$root"/usr/share/man/man1/*.1.gz; do
    check "$(basename "$page") is a manual page" bash -c 'gzip -dc "$1" | grep -q "^\.TH "' _ "$page"
done

echo "== the unpacked program with the packaged monitor, writing a report"
new_user home
mkdir -p "$HOME/pdf"
"$bin/quarn-reg" add 'HKCU\Software\Lirn\Quarn\Directories' /v PDF /d "$HOME/pdf" /f >/dev/null ||
    fail "quarn-reg add"
plug QPKG0001 "lirn Quarn Monitor"
start_program && {
    "$monitor_sim" measure 135 90 60 107 >/dev/null || fail "quarn-monitor-sim measure failed"
    wait_for "the report in the PDF folder" '[[ -s "$HOME/pdf/lirn.pdf" ]]'
    report=$(pdftotext -layout "$HOME/pdf/lirn.pdf" - 2>/dev/null)
    for value in 135 90 60 107 Nein; do
        check "report holds $value" grep -qw "$value" <<<"$report"
    done
    close_program
}

finish
