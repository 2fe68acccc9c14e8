#!/usr/bin/env bash
# End to end on Windows, played by Wine: the real tavrenode-config.exe in an X server, driven
# from the keyboard by xdotool, programs tavrenode-sim (the Linux one) through COM7, which
# Wine maps to the simulator's pseudo-terminal; afterwards the bytes the simulator received
# and the registry are checked. Then tavrenode-prog.exe programs COM7 from the command line.
#   e2e_wine.sh TOOL.exe PROG.exe SIMULATOR
# Runs in WINEPREFIX (which must exist) and leaves its registry as it found it.
set -euo pipefail
tool=$1
prog=$2
sim=$3

# shellcheck source=tests/e2e_common.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
require Xvfb xdotool wine
[ -d "${WINEPREFIX:-}" ] || fail "WINEPREFIX does not name a Wine prefix"
export WINEDEBUG=${WINEDEBUG:--all}
start_x

store='HKCU\Software\Tavrenode Config'
ports='HKLM\Software\Wine\Ports'
restore() {
    wine reg delete "$store" /f >/dev/null 2>&1 || true
    wine reg delete "$ports" /v COM7 /f >/dev/null 2>&1 || true
    wineserver -k 2>/dev/null || true
    cleanup
}
trap restore EXIT
wine reg delete "$store" /f >/dev/null 2>&1 || true

# COM7 is whatever $work/com7 leads to: Wine makes its device link from the registry when its
# server starts, and the simulator makes $work/com7 lead to its pseudo-terminal.
wineserver -k 2>/dev/null || true
wine reg add "$ports" /v COM7 /d "$work/com7" /f >/dev/null || fail "cannot map COM7"
wineserver -k 2>/dev/null || true

start_sim() {
    "$sim" --link-path "$work/com7" --records 1 >"$work/$1" 2>&1 &
    sim_pid=$!
    pids+=("$sim_pid")
    wait_for 50 grep -q "^link" "$work/$1" || fail "the simulator did not start"
}

start_sim sim.out
wine "$tool" >"$work/tool.out" 2>&1 &
tool_pid=$!
pids+=("$tool_pid")
focus_window 60
[ -z "${E2E_SHOTS:-}" ] || import -window root "$E2E_SHOTS/window.png"
program_from_window 7 "$sim_pid"
check_default_record "$work/sim.out"
close_window "$tool_pid"

# Byte for byte, the record that came through COM7 is the one the tool builds.
wine "$prog" record --defaults -o "Z:$work/record.bin" >"$work/record.out" 2>&1 ||
    fail "tavrenode-prog wrote no record"
expected=$(od -An -tx1 -v "$work/record.bin" | tr -d ' \n' | tr a-f A-F)
[ "${#expected}" -eq 384 ] || fail "the record is not 192 bytes"
received() { grep -E '^[0-9]{3} ' "$1" | cut -c5- | tr -d ' \n'; }
[ "$(received "$work/sim.out")" = "$expected" ] || fail "COM7 did not carry the exact record"

entries="$store\\tavrenode-config\\Tavrenode Prog"
wine reg query "$entries" /v m_iComPort >"$work/reg.out" 2>&1 || fail "no store in the registry"
grep -Eq 'm_iComPort +REG_DWORD +0x7' "$work/reg.out" || fail "COM port 7 not saved as a DWORD"
wine reg query "$entries" /v m_PIN >"$work/reg.out" 2>&1 || fail "no PIN in the registry"
grep -Eq 'm_PIN +REG_SZ +7392' "$work/reg.out" || fail "PIN not saved as a string"

# The command line, with the settings the window saved. The system's list of serial ports
# has COM7 (Wine lists the ports it maps).
wine "$prog" ports >"$work/ports.out" 2>&1 || fail "tavrenode-prog ports failed"
tr -d '\r' <"$work/ports.out" | grep -qx "7	COM7" || fail "COM7 not among the ports"
start_sim prog-sim.out
wine "$prog" program --port 7 >"$work/prog.out" 2>&1 || fail "tavrenode-prog failed"
wait_for 150 bash -c "! kill -0 $sim_pid 2>/dev/null" || fail "the simulator received no record"
check_default_record "$work/prog-sim.out"
[ "$(received "$work/prog-sim.out")" = "$expected" ] || fail "COM7 did not carry the exact record"

# A port that does not exist: the exit code for a port that did not open, and the message
# names the port with the system's reason.
status=0
wine "$prog" program --port 9 --defaults >"$work/prog9.out" 2>&1 || status=$?
[ "$status" -eq 3 ] || fail "tavrenode-prog on COM9 ended with $status, not 3"
grep -q 'Failed to open COM9' "$work/prog9.out" || fail "no message for COM9"

# A ledger file: Qt's SQLite driver is in the program.
wine "$prog" ledger load --ledger "Z:$work/ledger.db" --defaults --count 2 >"$work/ledger.out" 2>&1 ||
    fail "tavrenode-prog ledger load failed: $(cat "$work/ledger.out")"
wine "$prog" ledger status --ledger "Z:$work/ledger.db" --json >"$work/status.out" 2>&1 ||
    fail "tavrenode-prog ledger status failed: $(cat "$work/status.out")"
grep -q '"pending":2' "$work/status.out" || fail "the ledger does not hold the two units"
echo "PASS: programmed COM7 under Wine from the window and from tavrenode-prog; a ledger file"
