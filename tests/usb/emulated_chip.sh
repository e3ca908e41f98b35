#!/usr/bin/env bash
# The program's USB path against QEMU's emulated FTDI chip (0403:6001), with no hardware: a guest
# booted from Debian's kernel with udevd and the build's programs, the chip on its xHCI bus, the
# monitor's frames written into the chip's host side. Checked inside the guest, through the
# program's own code: the chip listed; opened by serial number with the monitor's line settings
# (as QEMU traces them); frames read through the poll and decoded; the program itself writing
# lirn.pdf; the chip unplugged and plugged in again through QMP, for the poll and the program.
#   emulated_chip.sh BIN_DIR READER
# Skips (77) only where qemu-system-x86_64 cannot be installed. QUARN_USB_TEST_KEEP=1 keeps the
# guest's root, its serial lines' logs and QEMU's trace.
set -uo pipefail

bin=${1:?usage: emulated_chip.sh BIN_DIR READER}
reader=${2:?usage: emulated_chip.sh BIN_DIR READER}
here=$(cd "$(dirname "$0")" && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/lirn-quarn
serial=QEMU4711
description="QEMU USB SERIAL"
started=$SECONDS

passes=0
failures=0
pass() {
    echo "  ok: $*"
    passes=$((passes + 1))
}
fail() {
    echo "  FAIL: $*"
    failures=$((failures + 1))
}
elapsed() {
    echo "[$((SECONDS - started)) s] $*"
}

# --- what the host needs ------------------------------------------------------------------

install_packages() {
    local missing=() package sudo=()
    for package in qemu-system-x86 busybox-static udev; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    [[ $(id -u) -ne 0 ]] && sudo=(sudo -n)
    echo "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq &&
        "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
            -o DPkg::Lock::Timeout=120 "${missing[@]}" >/dev/null
}

# The kernel package linux-image-amd64 points to; the apt lists are fetched when there are none.
kernel_package() {
    local name
    name=$(apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -1)
    if [[ -z "$name" ]]; then
        local sudo=()
        [[ $(id -u) -ne 0 ]] && sudo=(sudo -n)
        "${sudo[@]}" apt-get update -qq >/dev/null 2>&1
        name=$(apt-cache depends linux-image-amd64 2>/dev/null |
            sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -1)
    fi
    echo "$name"
}

# Sets `kernel_dir`: the cached kernel and its USB modules, fetched once per kernel package.
prepare_kernel() {
    local name download
    name=$(kernel_package)
    if [[ -z "$name" ]]; then
        local cached
        cached=$(find "$cache" -maxdepth 1 -name 'linux-image-*' -type d 2>/dev/null | sort | tail -1)
        [[ -n "$cached" ]] || return 1
        name=$(basename "$cached")
    fi
    kernel_dir=$cache/$name
    [[ -f "$kernel_dir/vmlinuz" ]] && return 0
    echo "fetching $name into $cache"
    download=$(mktemp -d)
    chmod 755 "$download"
    (cd "$download" && apt-get download -qq "$name" 2>/dev/null) || {
        rm -rf "$download"
        return 1
    }
    mkdir -p "$download/tree" &&
        dpkg-deb --fsys-tarfile "$download"/*.deb |
        tar -x -C "$download/tree" --wildcards './boot/vmlinuz-*' \
            './lib/modules/*/kernel/drivers/usb/*' './lib/modules/*/modules.builtin' \
            './lib/modules/*/modules.order' &&
        rm -rf "$kernel_dir.new" && mkdir -p "$kernel_dir.new" &&
        cp "$download"/tree/boot/vmlinuz-* "$kernel_dir.new/vmlinuz" &&
        cp -a "$download/tree/lib/modules" "$kernel_dir.new/" &&
        rm -rf "$kernel_dir" && mv "$kernel_dir.new" "$kernel_dir"
    local status=$?
    rm -rf "$download"
    return $status
}

install_packages || echo "installing the packages failed"
if ! command -v qemu-system-x86_64 >/dev/null; then
    if [[ -n "${QUARN_E2E_TOOLS_REQUIRED:-}" ]]; then
        echo "FAIL: qemu-system-x86_64 is missing and cannot be installed"
        exit 1
    fi
    echo "SKIP: qemu-system-x86_64 is missing and cannot be installed"
    exit 77
fi
for needed in busybox:busybox-static udevadm:udev pdftotext:poppler-utils base64:coreutils \
    dpkg-deb:dpkg apt-get:apt ldd:libc-bin strip:binutils; do
    if ! command -v "${needed%%:*}" >/dev/null; then
        echo "FAIL: ${needed%%:*} is missing (Debian package ${needed#*:})"
        exit 1
    fi
done
if ! prepare_kernel; then
    echo "FAIL: the kernel package could not be fetched"
    exit 1
fi
elapsed "kernel: $kernel_dir"

work=$(mktemp -d)
qemu=""
log_reader=""
cleanup() {
    [[ -n "$qemu" ]] && kill "$qemu" 2>/dev/null
    [[ -n "$log_reader" ]] && kill "$log_reader" 2>/dev/null
    wait 2>/dev/null
    if [[ -n "${QUARN_USB_TEST_KEEP:-}" ]]; then
        echo "the guest's files and logs stay in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# --- the guest's root file system ---------------------------------------------------------

root=$work/root
mkdir -p "$root"/usr/{bin,sbin,lib,lib64} "$root"/{proc,sys,dev,run,tmp,root,etc/udev}
for top in bin sbin lib lib64; do
    ln -s "usr/$top" "$root/$top"
done

# Copies files to the same paths in the guest, symbolic links resolved.
add_files() {
    local file
    for file in "$@"; do
        mkdir -p "$root$(dirname "$file")"
        cp -L "$file" "$root$file"
    done
}

# Copies programs and the shared libraries ldd finds for them.
add_programs() {
    add_files "$@"
    local libraries
    libraries=$(ldd "$@" 2>/dev/null |
        awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }' | sort -u)
    # shellcheck disable=SC2086
    [[ -n "$libraries" ]] && add_files $libraries
}

# The module's own list of what it needs, as modules.dep would give it.
module_depends() {
    grep -a -o 'depends=[A-Za-z0-9_,-]*' "$1" | head -1 | cut -d= -f2 | tr ',' ' '
}

module_file() {
    local pattern=${1//[-_]/[-_]}
    find "$modules" -regex ".*/${pattern}\.ko\(\.[a-z]+\)?" | head -1
}

# Copies a module and, before it, every module it depends on.
add_module() {
    local file dependency
    file=$(module_file "$1")
    if [[ -z "$file" ]]; then
        echo "FAIL: the kernel module $1 is not in $modules"
        exit 1
    fi
    [[ -e "$root/lib/modules/$version/${file#"$modules"/}" ]] && return 0
    for dependency in $(module_depends "$file"); do
        add_module "$dependency"
    done
    mkdir -p "$(dirname "$root/lib/modules/$version/${file#"$modules"/}")"
    cp "$file" "$root/lib/modules/$version/${file#"$modules"/}"
}

version=$(basename "$(find "$kernel_dir/modules" -mindepth 1 -maxdepth 1 -type d | head -1)")
modules=$kernel_dir/modules/$version
add_module xhci-pci
cp "$modules"/modules.builtin "$modules"/modules.order "$root/lib/modules/$version/"

cp "$(command -v busybox)" "$root/usr/bin/busybox"
for applet in $("$root/usr/bin/busybox" --list); do
    [[ -e "$root/usr/bin/$applet" ]] || ln -s busybox "$root/usr/bin/$applet"
done
udevadm=$(command -v udevadm)
add_programs "$udevadm"
mkdir -p "$root/lib/systemd"
ln -sf "$udevadm" "$root/lib/systemd/systemd-udevd"

# The build's programs without their debugging information, and what lies beside them.
mkdir -p "$root/opt/quarn"
for program in "$bin/LirnQuarn" "$bin/monitor-sim" "$bin/quarn-reg" "$reader"; do
    strip --strip-debug -o "$root/opt/quarn/$(basename "$program")" "$program"
    add_programs "$program"
    rm -f "$root$program"
done
find "$bin" -maxdepth 1 -type f ! -perm -u+x -exec cp {} "$root/opt/quarn/" \;
qt_plugins=$(find /usr/lib -path '*qt6/plugins/platforms/libqoffscreen.so' | head -1)
if [[ -z "$qt_plugins" ]]; then
    echo "FAIL: Qt's offscreen platform plugin is missing"
    exit 1
fi
add_programs "$qt_plugins"
if [[ -d /etc/fonts ]]; then
    mapfile -t font_settings < <(find /etc/fonts -type f -o -type l)
    add_files "${font_settings[@]}"
fi
cp "$here/guest_init.sh" "$root/init"
chmod 755 "$root/init"
(cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null) >"$work/initramfs.cpio"
elapsed "initramfs: $(($(wc -c <"$work/initramfs.cpio") / 1048576)) MiB"

# --- the guest ----------------------------------------------------------------------------

for pipe in io chip qmp; do
    mkfifo "$work/$pipe.in" "$work/$pipe.out"
done
touch "$work/guest.log" "$work/trace.log"
qemu-system-x86_64 -accel tcg -machine pc -cpu max -smp 1 -m 1024 \
    -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$kernel_dir/vmlinuz" -initrd "$work/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet" \
    -serial "file:$work/console.log" -serial "pipe:$work/io" \
    -chardev "pipe,id=qmp,path=$work/qmp" -mon chardev=qmp,mode=control \
    -device qemu-xhci,id=xhci \
    -chardev "pipe,id=chip,path=$work/chip" \
    -device "usb-serial,id=chip,bus=xhci.0,chardev=chip,serial=$serial,always-plugged=on" \
    -trace 'usb_serial*' -D "$work/trace.log" \
    2>"$work/qemu.err" &
qemu=$!
exec {io}<>"$work/io.in" {chip}<>"$work/chip.in" {qmp_in}<>"$work/qmp.in" {qmp_out}<>"$work/qmp.out"
cat <>"$work/io.out" >>"$work/guest.log" &
log_reader=$!

# Everything the guest said since `mark` was taken.
mark=0
take_mark() {
    mark=$(wc -l <"$work/guest.log")
}
since_mark() {
    tail -n +$((mark + 1)) "$work/guest.log"
}

# await PATTERN SECONDS: until a line since the mark matches (extended regular expression).
await() {
    local deadline=$((SECONDS + $2))
    while ((SECONDS < deadline)); do
        since_mark | grep -Eq -- "$1" && return 0
        kill -0 "$qemu" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

command_guest() {
    take_mark
    echo "$*" >&"$io"
}

# Writes bytes into the chip's host side: the guest reads them as the monitor's.
send_bytes() {
    printf '%s' "$1" >&"$chip"
}

# The 14-character frame of a measurement; a fifth argument 1 marks an arrhythmia, "bad" as the
# sixth spoils the checksum.
frame() {
    local systole=$1 diastole=$2 pulse=$3 mad=$4 arrhythmia=${5:-0} checksum
    checksum=$(((systole - diastole) ^ diastole ^ pulse ^ mad ^ arrhythmia))
    [[ "${6:-}" == bad ]] && checksum=$((checksum ^ 1))
    printf '80%02X%02X%02X%02X%02X%02X' $((systole - diastole)) "$diastole" "$pulse" "$mad" \
        "$arrhythmia" "$checksum"
}

# qmp COMMAND [ARGUMENTS-JSON]: sends one command and waits up to 10 s for its answer.
qmp() {
    local request="{\"execute\": \"$1\"" answer
    [[ -n "${2:-}" ]] && request+=", \"arguments\": $2"
    echo "$request}" >&"$qmp_in"
    while read -r -t 10 answer <&"$qmp_out"; do
        echo "$answer" >>"$work/qmp.log"
        [[ "$answer" == *'"return"'* ]] && return 0
        [[ "$answer" == *'"error"'* ]] && return 1
    done
    return 1
}

# Waits up to 10 s for a QMP event.
qmp_event() {
    local answer
    grep -q "\"event\": \"$1\"" "$work/qmp.log" 2>/dev/null && return 0
    while read -r -t 10 answer <&"$qmp_out"; do
        echo "$answer" >>"$work/qmp.log"
        [[ "$answer" == *"\"event\": \"$1\""* ]] && return 0
    done
    return 1
}

unplug() {
    : >"$work/qmp.log"
    qmp device_del '{"id": "chip"}' && qmp_event DEVICE_DELETED
}

# The chip as the command line plugged it.
replug() {
    qmp device_add "{\"driver\": \"usb-serial\", \"id\": \"chip\", \"bus\": \"xhci.0\",
        \"chardev\": \"chip\", \"serial\": \"$serial\", \"always-plugged\": true}"
}

trace_count() {
    grep -c "$1" "$work/trace.log"
}

# How often the chip was set to the monitor's line: 9600 baud (libftdi sets that on its own as it
# opens, so it says little), and 8 data bits, 2 stop bits, no parity: once per open.
baud_settings() {
    trace_count 'usb_serial_set_baud.* 9600'
}
data_settings() {
    grep -Ec 'usb_serial_set_data.*parity N.*data bits 8.*stop bits 2' "$work/trace.log"
}
# FTDI's vendor request 9, the latency timer, with its value.
latency_settings() {
    grep -E 'usb_serial_handle_control.*control 0x4009,' "$work/trace.log"
}

now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

show_guest() {
    echo "  --- the guest since the last command:"
    since_mark | sed 's/^/    /' | head -40 | grep . || echo "    (nothing: no bytes received)"
}

finish() {
    command_guest off
    for _ in $(seq 50); do
        kill -0 "$qemu" 2>/dev/null || break
        sleep 0.1
    done
    elapsed "$passes passed, $failures failed"
    [[ $failures -eq 0 ]]
}

elapsed "booting the guest"
qmp_greeting=""
read -r -t 30 qmp_greeting <&"$qmp_out"
if [[ "$qmp_greeting" != *QMP* ]] || ! qmp qmp_capabilities; then
    echo "FAIL: QEMU did not start:"
    cat "$work/qemu.err"
    exit 1
fi
if ! await '^@@ up' 90; then
    echo "FAIL: the guest did not come up; its console:"
    tail -30 "$work/console.log"
    exit 1
fi
since_mark | grep '^@@' | grep -v '@@ up' | sed 's/^/  guest: /'
elapsed "the guest is up"

echo "== the chip listed through the program's D2XX layer (monitor-sim list)"
command_guest list "$serial"
await '^@@ listed' 30
if since_mark | grep -q "^list: 0"$'\t'"$serial"$'\t'"$description\$"; then
    pass "listed as \"$serial\" with the description \"$description\""
else
    fail "the chip is not listed with serial number $serial and description \"$description\""
    show_guest
fi

echo "== a read of exactly 14 bytes (FT_Read as the chip delivers them)"
command_guest reader exact "$serial" 14
known=$(frame 110 80 72 95)
if await "^opened $serial" 20; then
    send_bytes "$known"
    if await "^read 14 bytes: $known\$" 10; then
        pass "the 14 bytes came through exactly"
    else
        fail "the 14 bytes of $known did not come through"
        show_guest
    fi
else
    fail "the chip did not open by its serial number"
    show_guest
fi
command_guest stop-reader
await '^@@ reader stopped' 10

echo "== opened by serial number, the monitor's line settings as QEMU traces them"
if (($(baud_settings) > 0)); then
    pass "the chip was set to 9600 baud"
else
    fail "QEMU traced no baud rate of 9600:"
    grep usb_serial "$work/trace.log" | head -10
fi
if (($(data_settings) > 0)); then
    pass "the chip was set to 8 data bits, 2 stop bits, no parity"
else
    fail "QEMU traced no 8 data bits, 2 stop bits, no parity:"
    grep usb_serial_set_data "$work/trace.log" | head -10
fi
if latency=$(latency_settings | head -1) && [[ -n "$latency" ]]; then
    pass "the latency timer was set (${latency##*got })"
else
    fail "QEMU traced no latency timer request (control 0x4009)"
fi

# expect_decoded WHAT BYTES LINE: the poll's decoded line for bytes written into the chip.
expect_decoded() {
    take_mark
    send_bytes "$2"
    if await "^$3\$" 4; then
        pass "$1 decoded: $3"
    else
        fail "$1 was not decoded as \"$3\" through the program's own read"
        show_guest
    fi
}

echo "== frames through the program's poll (its own read size)"
command_guest reader poll "$serial"
if await '^connected after' 20; then
    pass "the poll connected"
else
    fail "the poll did not connect"
    show_guest
fi
expect_decoded "a measurement frame" "$(frame 128 84 72 99)" "measurement 128 84 72 99 Nein"
expect_decoded "a status frame" "85000000000000" "status frame"
expect_decoded "a frame with a wrong checksum" "$(frame 120 80 72 93 0 bad)" "checksum error"
split=$(frame 135 90 60 107 1)
take_mark
send_bytes "${split:0:7}"
sleep 0.02
send_bytes "${split:7}"
if await '^measurement 135 90 60 107 Ja$' 4 && ! since_mark | grep -q '^checksum error'; then
    pass "a frame in two parts 20 ms apart decoded as one: measurement 135 90 60 107 Ja"
else
    fail "a frame in two parts 20 ms apart was not decoded as measurement 135 90 60 107 Ja"
    show_guest
fi

echo "== the chip unplugged and plugged in again (QMP), under the poll"
take_mark
unplugged=$(now_ms)
if unplug; then
    pass "device_del"
else
    fail "device_del did not complete"
fi
if await '^read failed: status 4: Fehler: General IO error\.\.\.$' 5; then
    pass "the read failed with \"$(since_mark | grep -m1 '^read failed' | cut -d: -f3- | cut -c2-)\" within $(($(now_ms) - unplugged)) ms of device_del"
else
    fail "no read failure \"Fehler: General IO error...\" after the unplug"
    show_guest
fi
take_mark
replugged=$(now_ms)
if replug; then
    pass "device_add"
else
    fail "device_add failed: $(tail -1 "$work/qmp.log")"
fi
if await '^connected after' 15; then
    pass "rediscovered and reconnected within $(($(now_ms) - replugged)) ms of device_add"
else
    fail "the replugged chip was not found again"
    show_guest
fi
expect_decoded "the next measurement after the replug" "$(frame 140 95 80 110)" \
    "measurement 140 95 80 110 Nein"
command_guest stop-reader
await '^@@ reader stopped' 10
elapsed "poll checks done"

# expect_report WHAT SYSTOLE DIASTOLE PULSE MAD ARRHYTHMIA: the next lirn.pdf holds these.
expect_report() {
    local what=$1 report value
    shift
    command_guest report
    if ! await '^@@ (report ends|no new report)' 30 || ! since_mark | grep -q '^@@ report ends'; then
        fail "$what: the program wrote no new lirn.pdf"
        return
    fi
    since_mark | sed -n '/^@@ report begins/,/^@@ report ends/p' | sed '1d;$d' |
        base64 -d >"$work/lirn.pdf"
    report=$(pdftotext -layout "$work/lirn.pdf" - 2>/dev/null)
    for value in Systole Diastole Puls MAD Arrhythmie "$@"; do
        if ! grep -qw -- "$value" <<<"$report"; then
            fail "$what: lirn.pdf lacks \"$value\""
            return
        fi
    done
    pass "$what: lirn.pdf holds $*"
}

# Waits until the chip's line was set once more than `before` times: the program opened it.
await_program_open() {
    local deadline=$((SECONDS + $2))
    while ((SECONDS < deadline)); do
        (($(data_settings) > $1)) && return 0
        sleep 0.2
    done
    return 1
}

echo "== the program (LirnQuarn, offscreen) with the chip"
before=$(data_settings)
command_guest program
if await_program_open "$before" 30; then
    pass "the program opened the chip and set its line"
else
    fail "the program did not open the chip"
fi
send_bytes "$(frame 118 76 64 90)"
expect_report "the measurement" 118 76 64 90 Nein

echo "== the chip unplugged and plugged in again (QMP), under the program"
unplug || fail "device_del did not complete"
sleep 1
before=$(data_settings)
replug || fail "device_add failed: $(tail -1 "$work/qmp.log")"
replugged=$(now_ms)
if await_program_open "$before" 20; then
    pass "the program found the chip again and reopened it within $(($(now_ms) - replugged)) ms"
else
    fail "the program did not reopen the replugged chip"
fi
send_bytes "$(frame 150 100 88 117 1)"
expect_report "the next measurement after the replug" 150 100 88 117 Ja
command_guest stop-program
await '^@@ program (stopped|had ended)' 10
since_mark | grep '^program: ' | head -20
if since_mark | grep -q '^@@ program stopped'; then
    pass "the program ran until it was stopped"
else
    fail "the program ended before it was stopped"
fi

finish
