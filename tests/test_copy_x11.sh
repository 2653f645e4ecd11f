#!/usr/bin/env bash
# On a real X server: the copy window opened with Alt+C, all five columns chosen and "&Copy Now"
# pressed from the keyboard. Another program (xclip) then reads from the clipboard exactly what
# ss reports in the program's network namespace, less the rows the initial filters hide.
# Usage: test_copy_x11.sh PROGRAM CONNECTION_HOLDER
set -u
program=$1
holder=$2

source "$(dirname "$0")/support/x11_session.sh"
require_tools Xvfb xdotool xclip unshare ip ss python3
reexec_in_own_network_namespace "$@"
begin_session
fail() { echo "FAIL: $*"; [[ -s $work/program.log ]] && sed 's/^/  program: /' "$work/program.log"; exit 1; }

ip link set lo up || fail "cannot bring up the loopback interface"
# A listener on 127.0.0.2:8080 and clients from 127.0.0.3, some of them half closed.
python3 "$holder" "$work/held" &
holder_pid=$!
within_10s test -e "$work/held" || fail "the loopback connections were not set up"

start_xvfb || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
start_program "$program"
main=$(window_named "Korvane Sockview - .*")
[[ -n $main ]] || fail "the main window did not appear"
type_into "$main" alt+c || fail "xdotool could not press Alt+C"
copy=$(window_named "Form Copy")
[[ -n $copy ]] || fail "the copy window did not appear"
# "&Copy Now" has the focus; Local IP and Remote IP are ticked. Tick the other three, then go
# round to "&Copy Now" and press it.
type_into "$copy" Tab Tab space Tab Tab space Tab space Tab Tab space ||
    fail "xdotool could not type into the copy window"
message_shown() { [[ $(windows_named "Form Copy") -ge 2 ]]; }
within_10s message_shown || fail "no message after \"Copy Now\""
DISPLAY=$display xdotool key Return

DISPLAY=$display timeout 10 xclip -selection clipboard -o >"$work/clipboard" ||
    fail "xclip could not read the clipboard"

# What the list must hold: ss's table in the platform's order, its state names as the list
# shows them, "0" as a listener's remote port, without the rows the initial filters hide.
ss -Htan4 | python3 -c '
import ipaddress, sys
names = {"ESTAB": "ESTAB", "LISTEN": "LISTEN", "SYN-SENT": "SYN_SENT", "SYN-RECV": "SYN_RCVD",
         "FIN-WAIT-1": "FIN_WAIT1", "FIN-WAIT-2": "FIN_WAIT2", "CLOSE-WAIT": "CLOSE_WAIT",
         "CLOSING": "CLOSING", "LAST-ACK": "LAST_ACK", "TIME-WAIT": "TIME_WAIT",
         "UNCONN": "CLOSED"}
def split(endpoint):
    address, port = endpoint.rsplit(":", 1)
    return ipaddress.IPv4Address(address), 0 if port == "*" else int(port)
rows = []
for line in sys.stdin:
    state, _, _, local, remote = line.split()[:5]
    (la, lp), (ra, rp) = split(local), split(remote)
    rows.append((la, lp, ra, rp, names[state]))
out = sys.stdout.buffer
for la, lp, ra, rp, state in sorted(set(rows)):
    if str(la) in ("0.0.0.0", "127.0.0.1") or str(ra) in ("192.168.1.1", "0.0.0.0"):
        continue
    shown_rp = 0 if state == "LISTEN" else rp
    out.write(f"{la}\t{lp}\t{ra}\t{shown_rp}\t{state}\t\r\n".encode())
' >"$work/expected" || fail "could not read ss's table"

[[ -s $work/expected ]] || fail "ss lists no connection that the list would show"
if ! cmp -s "$work/expected" "$work/clipboard"; then
    diff <(cat -A "$work/expected") <(cat -A "$work/clipboard") | head -20
    fail "the clipboard differs from ss's table"
fi
echo "PASS: the clipboard holds the $(wc -l <"$work/expected") listed connections, byte for byte"
