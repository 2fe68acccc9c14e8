# shellcheck shell=bash
# Sourced by the end-to-end scripts: a work folder, processes ended on exit, a failure that
# shows every log, waiting for a condition, and an X server of the test's own.

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    # The end of each output: a program that ran away must not bury the reason.
    for log in "$work"/*.out; do echo "--- $log"; tail -n 40 "$log"; done
    exit 1
}

# Wait up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tries=$1
    shift
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

require() {
    for command in "$@"; do
        command -v "$command" >/dev/null || fail "$command is missing"
    done
}

# Xvfb on a free display, which DISPLAY then names; arguments go to Xvfb.
start_x() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp "$@" 3>"$work/display" \
        2>"$work/xvfb.out" &
    pids+=($!)
    wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
    DISPLAY=":$(cat "$work/display")"
    export DISPLAY
}

# What the simulator prints of the record the defaults give (with the port's PIN and device
# type as the form starts with them).
check_default_record() {
    local out=$1
    grep -q "^record 1" "$out" || fail "no complete record"
    grep -q "^000 03 04 04 22 52 54 61 76  72 65 6E 6F 64 65 20 10" "$out" ||
        fail "record does not start as the defaults give it"
    grep -q 'PIN                 "7392"' "$out" || fail "PIN not in the record"
    grep -q 'minor 0x04 (Cellphone)' "$out" || fail "device type not in the record"
}

# The tool's window, once it shows, focused. Waits up to $1 seconds.
focus_window() {
    local window
    window=$(timeout "$1" xdotool search --sync --name '^Tavrenode Configuration Tool$' |
        head -n 1) || fail "the window did not appear"
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    sleep 1
}

# Programs port $1 from the keyboard and waits for the simulator ($2, its process) to end
# with the record. The focus starts on Close; Tab, Tab reaches the COM port box, Shift+Tab
# goes back to the programming button, and Space presses it.
program_from_window() {
    xdotool key --delay 80 Tab Tab ctrl+a
    xdotool type --delay 80 "$1"
    xdotool key --delay 80 shift+Tab space
    wait_for 150 bash -c "! kill -0 $2 2>/dev/null" || fail "the simulator received no record"
}

# Escape closes the window, which saves the settings and ends the tool ($1, its process),
# with status 0 (a sanitizer report would end it with an error).
close_window() {
    xdotool key Escape
    wait_for 150 bash -c "! kill -0 $1 2>/dev/null" || fail "the tool did not end on Escape"
    local status=0
    wait "$1" || status=$?
    [ "$status" -eq 0 ] || fail "the tool ended with status $status"
}
