#!/usr/bin/env bash
# Runs the real-table test program under Wine, in a network namespace of its own, against the
# loopback connections that hold_loopback_connections.py keeps open there.
# Usage: real_tcp_table.sh PROGRAM.exe   (WINEPREFIX names a prefix used by this test alone)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [[ ${SOCKVIEW_IN_NAMESPACE:-} != 1 ]]; then
  unshare --net true 2>/dev/null || { echo "cannot make a network namespace: run as root"; exit 1; }
  SOCKVIEW_IN_NAMESPACE=1 exec unshare --net "$0" "$@"
fi
ip link set lo up
: "${WINEPREFIX:?set WINEPREFIX to a prefix for this test alone}"
export WINEDEBUG=-all
# Wine reads the table in its driver process, which a Wine server left over from an earlier run
# would keep in that run's namespace.
wineserver -k 2>/dev/null || true

work=$(mktemp -d)
holder=
cleanup() {
  [[ -n $holder ]] && kill "$holder" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/../support/hold_loopback_connections.py" "$work/expected" &
holder=$!
for _ in $(seq 200); do
  [[ -f $work/expected ]] && break
  kill -0 "$holder" 2>/dev/null || { echo "the connection holder failed"; exit 1; }
  sleep 0.1
done
[[ -f $work/expected ]] || { echo "the connection holder did not get ready"; exit 1; }
wine "$1" <"$work/expected"
