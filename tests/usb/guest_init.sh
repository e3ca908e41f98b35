#!/bin/sh
# The guest's first process. Sets up what libusb needs (sysfs, device nodes, the USB modules,
# udevd for hot-plug events), then serves the host on the second serial line: one command a
# line, its answers on the same line, each command's end marked by a line "@@ ...".
export PATH=/usr/bin:/usr/sbin:/opt/quarn
export HOME=/root XDG_CONFIG_HOME=/root/.config XDG_RUNTIME_DIR=/run/user/0
export QT_QPA_PLATFORM=offscreen LANG=de_DE.UTF-8

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
mkdir -p /run/udev "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" /tmp/pdf
chmod 700 "$XDG_RUNTIME_DIR"

line=/dev/ttyS1
stty -F "$line" raw -echo
exec 3<>"$line"
say() {
    echo "$*" >&3
}

if ! { depmod && modprobe xhci-pci; }; then
    say "@@ loading the USB modules failed"
fi
/lib/systemd/systemd-udevd --daemon || say "@@ udevd did not start"
udevadm trigger --action=add
udevadm settle --timeout=20
quarn-reg add 'HKCU\Software\Lirn\Quarn\Directories' /v PDF /d /tmp/pdf /f >/dev/null 2>&3 ||
    say "@@ setting the PDF folder failed"

# Waits up to 20 s until monitor-sim lists the serial number, then shows the listing.
list() {
    for _ in $(seq 40); do
        monitor-sim list >/tmp/list.txt 2>&1
        grep -q "$1" /tmp/list.txt && break
        sleep 0.5
    done
    sed 's/^/list: /' /tmp/list.txt >&3
    say "@@ listed"
}

# The next report that differs from the one sent before, once its size holds still, as base64;
# up to 20 s.
sent=none
report() {
    pdf=/tmp/pdf/lirn.pdf
    for _ in $(seq 100); do
        if [ -s "$pdf" ]; then
            size=$(wc -c <"$pdf")
            sleep 0.2
            sum=$(md5sum <"$pdf")
            if [ "$size" = "$(wc -c <"$pdf")" ] && [ "$sum" != "$sent" ]; then
                sent=$sum
                say "@@ report begins"
                base64 "$pdf" >&3
                say "@@ report ends"
                return
            fi
        else
            sleep 0.2
        fi
    done
    say "@@ no new report"
}

reader=""
program=""
say "@@ up"
# A command's arguments are split into words on purpose.
# shellcheck disable=SC2086
while read -r command arguments <&3; do
    case $command in
    list)
        list $arguments
        ;;
    reader)
        usb-frame-reader $arguments >&3 2>&3 &
        reader=$!
        say "@@ reader started"
        ;;
    stop-reader)
        kill "$reader" && wait "$reader"
        say "@@ reader stopped"
        ;;
    program)
        LirnQuarn >/tmp/program.txt 2>&1 &
        program=$!
        say "@@ program started"
        ;;
    stop-program)
        sed 's/^/program: /' /tmp/program.txt >&3
        if kill "$program"; then
            wait "$program"
            say "@@ program stopped"
        else
            say "@@ program had ended"
        fi
        ;;
    report)
        report
        ;;
    off)
        say "@@ off"
        poweroff -f
        ;;
    *)
        say "@@ unknown command $command"
        ;;
    esac
done
