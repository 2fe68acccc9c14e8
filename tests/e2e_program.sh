#!/usr/bin/env bash
# End to end, as a user would: the real tavrenode-config in a real X server, driven from the
# keyboard by xdotool, programs tavrenode-sim through /dev/rfcommN; afterwards the bytes the
# simulator received and the settings file are checked. A screen reader's view comes first:
# the window and its Bluetooth dialog are read through AT-SPI (tests/atspi_walk.py), and
# the status line again after the run.
#   e2e_program.sh TOOL SIMULATOR
set -euo pipefail
tool=$1
sim=$2

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: linking /dev/rfcommN to the simulator needs root"
    exit 77
fi
# shellcheck source=tests/e2e_common.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
require Xvfb xdotool dbus-daemon /usr/libexec/at-spi-bus-launcher
start_x
# A session bus of the test's own, on which the accessibility bus starts when first asked
# for; Qt offers its windows there without waiting for a reader to ask.
dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
    3>"$work/bus-address" 4>"$work/bus-pid"
pids+=("$(cat "$work/bus-pid")")
DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus-address")
export DBUS_SESSION_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
walk="$(dirname "${BASH_SOURCE[0]}")/atspi_walk.py"
export XDG_CONFIG_HOME="$work/config"
unset QT_QPA_PLATFORM

port=
for n in $(seq 70 99); do
    if [ ! -e "/dev/rfcomm$n" ] && [ ! -L "/dev/rfcomm$n" ]; then port=$n; break; fi
done
[ -n "$port" ] || fail "no free /dev/rfcommN"

"$sim" --link "$port" --records 1 >"$work/sim.out" 2>&1 &
sim_pid=$!
pids+=("$sim_pid")
wait_for 50 grep -q "^port $port" "$work/sim.out" || fail "the simulator did not link port $port"

"$tool" >"$work/tool.out" 2>&1 &
tool_pid=$!
pids+=("$tool_pid")
focus_window 20
"$walk" check "Tavrenode Configuration Tool" >"$work/walk-form.out" 2>&1 ||
    fail "the form, read through AT-SPI: $(tail -n 1 "$work/walk-form.out")"
grep -qx "27 controls" "$work/walk-form.out" || fail "AT-SPI shows another count of controls"
xdotool key ctrl+b
"$walk" check "Program over Bluetooth" >"$work/walk-bluetooth.out" 2>&1 ||
    fail "the Bluetooth dialog, read through AT-SPI: $(tail -n 1 "$work/walk-bluetooth.out")"
xdotool key Escape
"$walk" labels "Tavrenode Configuration Tool" >"$work/labels-before.out" ||
    fail "no labels through AT-SPI"
! grep -q "^Programmed" "$work/labels-before.out" || fail "a status line before any run"
program_from_window "$port" "$sim_pid"
check_default_record "$work/sim.out"
status_read() {
    "$walk" labels "Tavrenode Configuration Tool" |
        grep -q "^Programmed COM$port (/dev/rfcomm$port) at [0-9:]*\.$"
}
wait_for 50 status_read || fail "AT-SPI does not read the status line after the run"
close_window "$tool_pid"

settings="$XDG_CONFIG_HOME/Tavrenode Config/$(basename "$tool").conf"
[ -f "$settings" ] || fail "no settings file at $settings"
grep -q "^m_iComPort=$port\$" "$settings" || fail "COM port $port not saved"
[ "$(stat -c %a "$settings")" = 600 ] || fail "settings file is not private"
echo "PASS: programmed port $port end to end"
