#!/usr/bin/env bash
# tavrenode-prog.exe's failures under Wine, as scripts meet them: the Linux simulator behind
# COM20 (a link in TAVRENODE_WINE_PORTS, which wine_ports.sh maps), exit codes, the message
# and its detail on stderr, the JSON unit-end, the report of a unit tried again, and Ctrl-C.
#   wine_ports.sh bash prog_wine.sh PROG.exe SIMULATOR
set -euo pipefail
prog=$1
sim=$2

# shellcheck source=tests/e2e_common.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
require wine
ports=${TAVRENODE_WINE_PORTS:?run under wine_ports.sh}
link=$ports/com20

start_sim() { # start_sim LOG ARGUMENTS...
    local log=$1
    shift
    "$sim" --link-path "$link" "$@" >"$work/$log" 2>&1 &
    sim_pid=$!
    pids+=("$sim_pid")
    wait_for 50 test -L "$link" || fail "the simulator did not start"
}
stop_sim() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    wait_for 50 test ! -L "$link" || fail "the simulator left its link"
}

# Under Wine a hang-up reads as silence or as a lost link depending on timing, and a COM port
# whose device is gone opens and is then refused as not serial (Windows says it is not
# found), so those rows check only what both give.
#   NAME | SIMULATOR | PORT | EXIT | MESSAGE | DETAIL | BLOCK | ANSWER (JSON, none: null)
rows=(
    "wrong acknowledgement|--block 2 --reply 0x0f|20|6|Programming Failed.|The module answered block 2 with 0x0f instead of 0x55.|2|15"
    "no answer|--block 3 --reply none|20|5|Failed to read from COM20:|No answer within 0.3 seconds. Block 3 of 3.|3|null"
    "hang-up|--block 1 --reply hangup|20|5|Failed to read from COM20:|Block 1 of 3.|1|null"
    "no module|-|20|3|Failed to open COM20:||0|null"
    "not a serial device|-|24|3|Failed to open COM24:|is not a serial device.|0|null"
    "programmed|--block 2 --reply ack|20|0|||3|85"
)
for row in "${rows[@]}"; do
    IFS='|' read -r name arguments port code message detail block answer <<<"$row"
    if [ "$arguments" != - ]; then
        # shellcheck disable=SC2086
        start_sim "sim-$port.out" $arguments
    fi
    status=0
    wine "$prog" program --defaults --port "$port" --timeout 300 --json \
        >"$work/json.out" 2>"$work/err.out" || status=$?
    [ "$arguments" = - ] || stop_sim
    tr -d '\r' <"$work/err.out" >"$work/stderr.out"
    [ "$status" -eq "$code" ] || fail "$name: exit $status, not $code"
    grep -qF -- "$message" "$work/stderr.out" || fail "$name: no \"$message\""
    grep -qF -- "$detail" "$work/stderr.out" || fail "$name: no \"$detail\""
    end=$(tr -d '\r' <"$work/json.out" | grep '"event":"unit-end"') || fail "$name: no unit-end"
    for pair in "\"block\":$block" "\"message\":\"$message\"" "\"answer\":$answer"; do
        grep -qF -- "$pair" <<<"$end" || fail "$name: the unit-end lacks $pair: $end"
    done
    tr -d '\r' <"$work/json.out" | tail -n 1 | grep -qF "\"exit\":$code" ||
        fail "$name: the summary does not carry exit $code"
    echo "ok: $name"
done

# A line of modules whose first rejects block 3, tried again: the report has both attempts.
# (Not with --wait: under Wine a COM port never goes away, since its DOS device stays defined
# whether or not the Unix device behind it exists, so --wait would wait for ever after the
# first unit.)
start_sim line.out --line --pause 200 --fault 1:3:0x00
status=0
wine "$prog" program --defaults --port 20 --retries 2 --retry-delay 400 \
    --report "Z:$work/report.csv" >/dev/null 2>"$work/line-err.out" || status=$?
stop_sim
[ "$status" -eq 0 ] || fail "the retried unit ended with $status, not 0"
tr -d '\r' <"$work/report.csv" >"$work/report.out"
[ "$(wc -l <"$work/report.out")" -eq 3 ] || fail "the report does not hold a header and 2 rows"
grep -q ',wrong-acknowledgement,Programming Failed.,1,' "$work/report.out" ||
    fail "the report lacks the failed attempt"
grep -q ',ok,,2,' "$work/report.out" || fail "the report lacks the second attempt"
echo "ok: a unit tried again, with its report"

# Ctrl-C while the module keeps block 2 unanswered: exit 130 well before the time-out, and
# the port is let go for the next run.
start_sim silent.out --block 2 --reply none
wine "$prog" program --defaults --port 20 --json >"$work/int-json.out" 2>"$work/int-err.out" &
prog_pid=$!
wait_for 100 grep -q '"block":1' "$work/int-json.out" || fail "the run did not start"
sleep 0.3
kill -INT "$prog_pid"
status=0
wait_for 20 bash -c "! kill -0 $prog_pid 2>/dev/null" || fail "Ctrl-C did not end the run"
wait "$prog_pid" || status=$?
[ "$status" -eq 130 ] || fail "Ctrl-C ended the run with $status, not 130"
tr -d '\r' <"$work/int-json.out" | grep -q '"result":"interrupted"' || fail "no interrupted unit"
status=0
wine "$prog" program --defaults --port 20 --timeout 200 >/dev/null 2>"$work/next.out" ||
    status=$?
[ "$status" -eq 5 ] || fail "the run after Ctrl-C ended with $status, not 5"
stop_sim
echo "ok: Ctrl-C"
echo "PASS: tavrenode-prog.exe's failures under Wine"
