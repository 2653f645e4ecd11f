#!/usr/bin/env bash
# Runs the real-table test program under Wine, in a network namespace of its own, against the
# rows that ss lists there: those of the connections the loopback holder keeps open.
# Usage: real_tcp_table.sh PROGRAM.exe
set -u
source "$(dirname "$0")/../support/x11_session.sh"
require_tools wine ss python3 unshare ip
reexec_in_own_network_namespace "$@"
begin_session
# A Wine server left from an earlier run would read the table of that run's namespace.
wineserver -k 2>/dev/null
python3 "$(dirname "$0")/../support/hold_loopback_connections.py" "$work/held" &
holder_pid=$!
within_10s test -e "$work/held" || fail "the loopback connections were not set up"
ss -Htan4 | awk '{ split($4, l, ":"); split($5, r, ":"); listen = $1 == "LISTEN"
    print (listen ? 2 : $1 == "ESTAB" ? 5 : 0), l[1], l[2], r[1], (listen ? 0 : r[2]) }' |
    wine "$1"
status=$?
wineserver -k
exit $status
