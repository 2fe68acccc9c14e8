#!/usr/bin/env bash
# Runs a test of the Windows build under Wine with COM20 to COM23 mapped to links in a folder of its own,
# which the test's simulated modules make (TAVRENODE_WINE_PORTS names it), and COM24 mapped
# to /dev/null, a device that is not a serial port. The mapping goes again afterwards, and
# so does any simulator the test left running.
#   wine_ports.sh COMMAND [ARGUMENTS...]
# Runs in WINEPREFIX (which must exist).
set -euo pipefail
[ -d "${WINEPREFIX:-}" ] || { echo "WINEPREFIX does not name a Wine prefix" >&2; exit 1; }
export WINEDEBUG=${WINEDEBUG:--all}

folder=$(mktemp -d)
ports='HKLM\Software\Wine\Ports'
numbers=(20 21 22 23 24)
cleanup() {
    local pid
    for pid in "$folder"/*.pid; do
        [ -f "$pid" ] && kill "$(cat "$pid")" 2>/dev/null || true
    done
    for number in "${numbers[@]}"; do
        wine reg delete "$ports" /v "COM$number" /f >/dev/null 2>&1 || true
    done
    wineserver -k 2>/dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT

# Wine makes its COM devices from the registry when its server starts.
wineserver -k 2>/dev/null || true
for number in "${numbers[@]}"; do
    target=$folder/com$number
    [ "$number" -ne 24 ] || target=/dev/null
    wine reg add "$ports" /v "COM$number" /d "$target" /f >/dev/null
done
wineserver -k 2>/dev/null || true

status=0
TAVRENODE_WINE_PORTS=$folder "$@" || status=$?
exit "$status"
