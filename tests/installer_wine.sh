#!/usr/bin/env bash
# The Windows installer, under Wine: CPack makes it from the build, it installs silently,
# the Start menu has the tool, the installer and the installed programs carry the icon and
# the version, the installed tool starts and shows its window, and the uninstaller removes
# everything it installed.
#   installer_wine.sh WINDOWS_BUILD
set -euo pipefail
build=$1

# shellcheck source=tests/e2e_common.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
require Xvfb xdotool wine makensis python3
[ -d "${WINEPREFIX:-}" ] || fail "WINEPREFIX does not name a Wine prefix"
export WINEDEBUG=${WINEDEBUG:--all}

(cd "$build" && cpack -G NSIS -B "$work/package") >"$work/cpack.out" 2>&1 ||
    fail "CPack made no installer"
installer=$(find "$work/package" -maxdepth 1 -name 'tavrenode-config-*-win64.exe' | head -n 1)
[ -n "$installer" ] || fail "no tavrenode-config-VERSION-win64.exe"
echo "installer: $(basename "$installer"), $(stat -c %s "$installer") bytes"

folder="$WINEPREFIX/drive_c/Program Files/Tavrenode Config"
menu_entries() {
    find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name '*.lnk' -path '*Tavrenode*' 2>/dev/null
}
start_x
wine "$installer" /S >"$work/install.out" 2>&1 || fail "the installer failed"
wineserver -w
for file in tavrenode-config.exe tavrenode-prog.exe tavrenode-config.html Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "not installed: $file"
done
menu_entries | grep -q 'Tavrenode Config.lnk' || fail "no Start menu entry"
# The installer and the installed programs carry the icon and the version (the Start menu's
# entry shows the icon of the program it starts).
version=$(basename "$installer" | sed -E 's/^tavrenode-config-(.*)-win64\.exe$/\1/')
python3 "$(dirname "${BASH_SOURCE[0]}")/windows_resources.py" "$installer" >"$work/icon.out" ||
    fail "the installer's icon"
python3 "$(dirname "${BASH_SOURCE[0]}")/windows_resources.py" --version "$version" \
    "$folder/tavrenode-config.exe" "$folder/tavrenode-prog.exe" >"$work/resources.out" ||
    fail "the installed programs' icon or version"

wine "$folder/tavrenode-config.exe" >"$work/tool.out" 2>&1 &
tool_pid=$!
pids+=("$tool_pid")
focus_window 60
close_window "$tool_pid"
wine reg delete 'HKCU\Software\Tavrenode Config' /f >/dev/null 2>&1 || true

# The uninstaller runs a copy of itself and returns at once: wait for the folder to go.
wine "$folder/Uninstall.exe" /S >"$work/uninstall.out" 2>&1 || fail "the uninstaller failed"
wineserver -w
wait_for 300 test ! -e "$folder" || fail "the uninstaller left $(ls "$folder")"
[ -z "$(menu_entries)" ] || fail "Start menu entries left: $(menu_entries)"
echo "PASS: installed, started and uninstalled under Wine"
