# shellcheck shell=bash
# Sourced by scripts that need Debian's archive: its address as this machine's apt knows it.

# The first Debian archive among this machine's apt sources (one-line or deb822 files).
debian_mirror() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        awk '$1 == "deb" && $3 !~ /security/ && $0 ~ /main/ {
                 for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' "$file"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # One stanza a paragraph: its URIs, unless its suites are the security archive's.
        awk -v RS= '/Types:[^\n]*deb/ && !/Suites:[^\n]*security/ && /Components:[^\n]*main/ {
                 if (match($0, /URIs:[ \t]*[^ \t\n]+/)) {
                     uri = substr($0, RSTART, RLENGTH); sub(/URIs:[ \t]*/, "", uri); print uri
                 } }' "$file"
    done
}
