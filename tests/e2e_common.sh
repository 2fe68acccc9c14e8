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
    for log in "$work"/*.out; do echo "--- $log"; cat "$log"; done
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

# Xvfb on a free display, which DISPLAY then names.
start_x() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.out" &
    pids+=($!)
    wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")"
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
