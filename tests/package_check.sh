#!/usr/bin/env bash
# The Debian package on a fresh machine (run as root inside a fresh chroot of the release it
# was built on): it installs with apt, the installed programs work, man shows their pages,
# and removing it leaves nothing behind.
#   tests/package_check.sh PACKAGE.deb RECORD
# RECORD is what "tavrenode-prog record --defaults -o" wrote in the build tree.
set -euo pipefail
deb=$(realpath "$1")
reference=$(realpath "$2")
# shellcheck source=tests/e2e_common.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
export DEBIAN_FRONTEND=noninteractive

step() { echo "-- $*"; }
quietly() { # the command's output only when it fails
    "$@" >"$work/quiet.out" 2>&1 || fail "$* failed"
}

# Every file outside the package manager's own state, caches, logs and scratch space.
snapshot() {
    find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
        -o -path /var/tmp -o -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache \
        -o -path /var/log -o -path /root -o -path /src \) -prune -o -print | sort
}

step "apt-get install ./$(basename "$deb") (and what the check itself uses)"
quietly apt-get update -qq
# Recommends left out: no bluez, and no xdg-utils, so that the help goes to $BROWSER.
quietly apt-get install -y -qq --no-install-recommends "$deb"
quietly apt-get install -y -qq --no-install-recommends xvfb xauth xdotool man-db
# A Wayland desktop: Qt's Wayland plugin, which the package recommends, and sway's headless
# output with wtype's virtual keyboard and grim's screenshots in place of a screen and a user.
quietly apt-get install -y -qq --no-install-recommends qt6-wayland sway wtype grim
# Its dependencies stay; the tree without the package, before and after, is compared.
quietly apt-get purge -y -qq tavrenode-config
snapshot >"$work/before"
quietly apt-get install -y -qq --no-install-recommends "$deb"
dpkg-query -W -f='${Version}\n' tavrenode-config

step "tavrenode-prog record --defaults: the build tree's bytes"
export XDG_CONFIG_HOME=$work/config
tavrenode-prog --version
tavrenode-prog record --defaults -o "$work/defaults.bin"
cmp "$work/defaults.bin" "$reference" || fail "the installed tavrenode-prog builds another record"
tavrenode-sim --version
# A ledger file: the SQLite driver came with the package.
tavrenode-prog ledger load --ledger "$work/ledger.db" --defaults --count 2 2>"$work/ledger.out" ||
    fail "tavrenode-prog ledger load failed: $(cat "$work/ledger.out")"
tavrenode-prog ledger status --ledger "$work/ledger.db" --json | grep -q '"pending":2' ||
    fail "tavrenode-prog ledger status does not show the two units"
# The module the programs load for BlueZ, with every library it needs.
module=/usr/lib/tavrenode-config/modules/tavrenode-bluez.so
ldd "$module" >"$work/ldd.out" 2>&1 || fail "ldd $module failed"
! grep -q "not found" "$work/ldd.out" || fail "$module lacks a library"

step "man pages"
for page in tavrenode-config tavrenode-prog tavrenode-sim; do
    man -w "$page" >/dev/null || fail "man finds no page for $page"
done
MANWIDTH=80 man -P cat tavrenode-prog 2>"$work/man.out" >"$work/man.txt" ||
    fail "man tavrenode-prog failed"
# (dashes as the locale draws them)
grep -qE "^ +tavrenode.prog +. +program +Tavrenode +Bluetooth +modules" "$work/man.txt" ||
    fail "man tavrenode-prog shows no NAME line"
[ ! -s "$work/man.out" ] || fail "man reported problems"

step "the installed window, its first paint, and its help"
# A black root and the screen in a file: painted pixels can be counted from outside.
mkdir -p "$work/screen"
start_x -br -fbdir "$work/screen"
# The help goes to the browser $BROWSER names when the desktop has no opener of its own.
cat >"$work/browser" <<SCRIPT
#!/bin/sh
echo "\$1" >"$work/help-url"
SCRIPT
chmod +x "$work/browser"
BROWSER=$work/browser tavrenode-config >"$work/tool.out" 2>&1 &
tool=$!
pids+=("$tool")
focus_window 20
lit() { tr -d '\000' <"$work/screen/Xvfb_screen0" | wc -c; }
painted() { [ "$(lit)" -gt 200000 ]; } # 200,000 bytes of the screen no longer black
wait_for 100 painted || fail "the window shows, but was not painted ($(lit) bytes lit)"
echo "first paint: $(lit) bytes of the screen lit"
xdotool key F1
wait_for 100 test -s "$work/help-url" || fail "F1 opened no help"
help=$(cat "$work/help-url")
[[ $help == file:///usr/share/tavrenode-config/tavrenode-config.html#* ]] ||
    fail "F1 opened $help"
test -s /usr/share/tavrenode-config/tavrenode-config.html || fail "the help page is missing"
close_window "$tool"
test -s "$XDG_CONFIG_HOME/Tavrenode Config/tavrenode-config.conf" ||
    fail "the window kept no settings"

step "the installed window on Wayland: its menu, a message box, the status line"
# sway refuses to run as root: it runs as nobody (who may pass through the work folder),
# and the tool (root) uses its socket.
chmod o+x "$work"
mkdir -m 0700 "$work/wayland" "$work/tool-runtime"
chown nobody:nogroup "$work/wayland"
printf '%s\n' 'output HEADLESS-1 resolution 1280x1024' 'xwayland disable' \
    'for_window [app_id=".*"] floating enable' >"$work/sway.conf"
setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$work/wayland" \
    XDG_RUNTIME_DIR="$work/wayland" WLR_BACKENDS=headless WLR_RENDERER=pixman \
    sway -c "$work/sway.conf" >"$work/sway.out" 2>&1 &
pids+=($!)
wait_for 100 bash -c "ls '$work/wayland' | grep -q '^sway-ipc'" || fail "sway did not start"
wait_for 100 test -S "$work/wayland/wayland-1" || fail "sway made no Wayland socket"
export SWAYSOCK WAYLAND_DISPLAY=$work/wayland/wayland-1
SWAYSOCK=$(echo "$work"/wayland/sway-ipc.*)
# The tool's windows as sway lists them: "shell title", one a line.
windows() {
    swaymsg -t get_tree | tr ',{}' '\n\n\n' |
        sed -nE 's/^ *"(name|shell)": "(.*)"$/\1 \2/p' |
        awk '$1 == "name" { name = substr($0, 6) } $1 == "shell" { print $2, name }'
}
has_window() { windows | grep -qxF "xdg_shell $1"; }
no_window() { ! has_window "$1"; }
boxes_open() { [ "$(windows | wc -l)" -ge 2 ]; }
# Each wtype is a keyboard of its own; the window hears of it after a moment.
keys() { wtype -s 500 "$@" -s 300; }
# How many pixels of the screen are exactly the colour $1 (six hex digits).
pixels() {
    grim -t ppm "$work/screen.ppm"
    LC_ALL=C grep -obUaP "$(sed -E 's/(..)/\\x\1/g' <<<"$1")" "$work/screen.ppm" | wc -l
}
(unset DISPLAY; export XDG_RUNTIME_DIR=$work/tool-runtime QT_QPA_PLATFORM=wayland
    exec tavrenode-config) >"$work/wayland-tool.out" 2>&1 &
tool=$!
pids+=("$tool")
ended() { ! kill -0 "$1" 2>/dev/null; }
wait_for 100 has_window "Tavrenode Configuration Tool" ||
    fail "no Wayland window (sway has: $(windows))"
# The window's menu from the keyboard (as a right click on the form opens it), its last
# entry the About box.
keys -k Menu -s 500 -k Up -k Return
wait_for 50 has_window "About Tavrenode Configuration Tool" ||
    fail "the menu gave no About box (sway has: $(windows))"
keys -k Escape
wait_for 50 no_window "About Tavrenode Configuration Tool" || fail "the About box did not close"
# A port with no module: a message box, then the status line in the failure's red.
port=
for n in $(seq 20 60); do
    if [ ! -e "/dev/rfcomm$n" ] && [ ! -L "/dev/rfcomm$n" ]; then port=$n; break; fi
done
[ -n "$port" ] || fail "no free /dev/rfcommN"
keys -k Tab -k Tab -M ctrl -k a -m ctrl "$port" -M shift -k Tab -m shift -k space
wait_for 50 boxes_open || fail "the failure showed no message box (sway has: $(windows))"
for _ in 1 2 3; do
    boxes_open || break
    keys -k Return
done
! boxes_open || fail "the message boxes did not close (sway has: $(windows))"
red=$(pixels c01c28)
[ "$red" -gt 20 ] || fail "no status line in red after the failure ($red pixels)"
# The simulated module: programmed, and the status line in green.
tavrenode-sim --link "$port" --records 1 >"$work/wayland-sim.out" 2>&1 &
sim=$!
pids+=("$sim")
wait_for 50 grep -q "^port $port" "$work/wayland-sim.out" || fail "the simulator did not start"
keys -k space
wait_for 100 ended "$sim" || fail "the simulator received no record"
grep -q "^record 1" "$work/wayland-sim.out" || fail "the simulator has no complete record"
green_shows() { [ "$(pixels 1a7346)" -gt 20 ]; }
wait_for 50 green_shows || fail "no status line in green after the run"
echo "status line: $red pixels of red after the failure, $(pixels 1a7346) of green after the run"
keys -k Escape
wait_for 100 ended "$tool" || fail "the tool did not end on Escape"
wait "$tool" || fail "the tool ended with status $?"

step "apt-get purge tavrenode-config leaves nothing behind"
installed=$(dpkg -L tavrenode-config)
quietly apt-get purge -y -qq tavrenode-config
snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "removing the package changed the tree"
for file in $installed; do
    [ "$file" = /. ] || [ -d "$file" ] || [ ! -e "$file" ] || fail "$file is still there"
done
echo "package check passed"
