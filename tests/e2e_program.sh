#!/usr/bin/env bash
# End to end, as a user would: the real tavrenode-config in a real X server, driven from the
# keyboard by xdotool, programs tavrenode-sim through /dev/rfcommN; afterwards the bytes the
# simulator received and the settings file are checked.
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
require Xvfb xdotool
start_x
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
program_from_window "$port" "$sim_pid"
check_default_record "$work/sim.out"
close_window "$tool_pid"

settings="$XDG_CONFIG_HOME/Tavrenode Config/$(basename "$tool").conf"
[ -f "$settings" ] || fail "no settings file at $settings"
grep -q "^m_iComPort=$port\$" "$settings" || fail "COM port $port not saved"
[ "$(stat -c %a "$settings")" = 600 ] || fail "settings file is not private"
echo "PASS: programmed port $port end to end"
