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

step "apt-get purge tavrenode-config leaves nothing behind"
installed=$(dpkg -L tavrenode-config)
quietly apt-get purge -y -qq tavrenode-config
snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "removing the package changed the tree"
for file in $installed; do
    [ "$file" = /. ] || [ -d "$file" ] || [ ! -e "$file" ] || fail "$file is still there"
done
echo "package check passed"
