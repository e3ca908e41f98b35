# Shared pieces of the end-to-end scripts: sourced after `bin`, `shots` and `caption` are set;
# `program_file` and `monitor_sim` name the program and the virtual monitor when they are not
# build/bin's LirnQuarn and monitor-sim. A script for the Windows programs also sets `launcher`
# (the build's wine-run) and `exe` (.exe).
#   source common.sh TOOL...   skips (77) without the tools, then reruns the script under Xvfb
#   QUARN_E2E_TOOLS_REQUIRED=1  a missing tool fails the test instead: CI must run every one
[[ -v launcher ]] || launcher=()
exe=${exe:-}

for tool in xvfb-run "$@"; do
    if ! command -v "$tool" >/dev/null; then
        if [[ -n "${QUARN_E2E_TOOLS_REQUIRED:-}" ]]; then
            echo "FAIL: $tool is missing"
            exit 1
        fi
        echo "SKIP: $tool is missing"
        exit 77
    fi
done
if [[ -z "${QUARN_E2E_UNDER_XVFB:-}" ]]; then
    QUARN_E2E_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "${script_args[@]}"
fi

# A German desktop, whatever the machine's own locale: the checks read German dates.
unset LC_ALL LC_TIME
export LANG=de_DE.UTF-8

program_file=${program_file:-$bin/LirnQuarn$exe}
monitor_sim=${monitor_sim:-$bin/monitor-sim$exe}

passes=0
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    passes=$((passes + 1))
}
check() {
    local what=$1
    shift
    if "$@"; then pass; else fail "$what"; fi
}
finish() {
    echo "$passes passed, $failures failed"
    [[ $failures -eq 0 ]]
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

# A fresh user: own home, settings hive and runtime folder.
new_user() {
    export HOME="$work/$1"
    export XDG_CONFIG_HOME="$HOME/config" XDG_RUNTIME_DIR="$HOME/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}

# wait_for WHAT CONDITION [TENTHS]: up to TENTHS tenths of a second, 10 s unless told.
wait_for() {
    local what=$1 condition=$2 tenths=${3:-100}
    for _ in $(seq 1 "$tenths"); do
        eval "$condition" && pass && return 0
        sleep 0.1
    done
    fail "timed out waiting for $what"
    return 1
}

# One of the build's programs, run as its system needs.
run() {
    local program=$1
    shift
    "${launcher[@]}" "$bin/$program$exe" "$@"
}

plug() {
    "${launcher[@]}" "$monitor_sim" plug --serial "$1" --description "$2" >/dev/null &
    pids+=($!)
    wait_for "monitor $1 listed" "${launcher[*]} '$monitor_sim' list | grep -q '$1'"
}

# Starts the program and sets `program` and `window`. The first start of a Windows program on
# an X display in a fresh Wine prefix sets the prefix up for it and takes over 10 s.
start_program() {
    "${launcher[@]}" "$program_file" 2>"$HOME/stderr.txt" &
    program=$!
    pids+=("$program")
    window=""
    wait_for "the main window" \
        'window=$(xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null | head -1); [[ -n "$window" ]]' 600
}

# Keys go to the focused window without naming it: one sent to a window that closes on the press
# never gets its release, and the server would repeat it into the next window.
close_program() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key Escape
    wait_for "the program to end" '! kill -0 '"$program"' 2>/dev/null'
}

snap() {
    [[ -n "$shots" ]] || return 0
    mkdir -p "$shots"
    import -window "$window" "$shots/$1.png"
}
