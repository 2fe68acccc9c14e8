#!/usr/bin/env bash
# Bash completion for tavrenode-prog, as bash-completion loads it, against the built program:
# each row is a command line (the cursor at its end) and what completing it must offer.
#   tests/completion.sh COMPLETION-SCRIPT TAVRENODE-PROG
set -uo pipefail
script=$1
prog=$(realpath "$2")
# shellcheck source=tests/e2e_common.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
[ -r /usr/share/bash-completion/bash_completion ] ||
    fail "bash-completion is missing (tools/dev test installs it)"
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=resources/completion/tavrenode-prog
source "$script"

# The program by its installed name, as people type it.
mkdir -p "$work/bin" "$work/files/sub"
ln -s "$prog" "$work/bin/tavrenode-prog"
PATH=$work/bin:$PATH
touch "$work/files/gate.tavrenode" "$work/files/units.csv" "$work/files/notes.txt"
cd "$work/files" || exit 1

# The words completing LINE offers, sorted, on one line.
complete_line() {
    local line=$1
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tavrenode_prog tavrenode-prog "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" \
        2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

# Every key a profile takes, and the port.
keys="audio= baud= camera= capturing= device-type= display= information= keyboard= \
limited-discoverable= mating= name= networking= object-transfer= pair-prefix= pin= \
pointing-device= port= positioning= printer= rendering= role= scanner= security= status-pin= \
telephony="

failures=0
while IFS='|' read -r line expected; do
    [ -n "$line" ] || continue
    got=$(complete_line "$line")
    if [ "$got" != "$expected" ]; then
        echo "FAIL: \"$line\" offers \"$got\", expected \"$expected\""
        failures=$((failures + 1))
    fi
done <<ROWS
tavrenode-prog |describe ledger ports profile program record scan
tavrenode-prog ledger |load report resolve status
tavrenode-prog ledger status --|--help --json --ledger
tavrenode-prog program --led|--ledger
tavrenode-prog pro|profile program
tavrenode-prog --|--help --version
tavrenode-prog program --ret|--retries --retry-delay
tavrenode-prog program --report|--report --report-pins
tavrenode-prog record -|--defaults --help --output --profile --set
tavrenode-prog program --set |$keys
tavrenode-prog record --set pa|pair-prefix=
tavrenode-prog profile --defaults --set po|pointing-device= port= positioning=
tavrenode-prog program --profile |gate.tavrenode sub
tavrenode-prog program --units |sub units.csv
tavrenode-prog describe |gate.tavrenode notes.txt sub units.csv
tavrenode-prog record -o n|notes.txt
tavrenode-prog program --timeout |
ROWS
[ "$failures" -eq 0 ] || exit 1
echo "completion: every row offers what it should"
