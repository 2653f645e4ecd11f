#!/usr/bin/env bash
# On a real X server, as a user's keyboard would: the copy window opened with Alt+C, all five
# columns chosen and "&Copy Now" pressed. Another program (xclip) then reads from the clipboard
# exactly what ss reports in the program's network namespace, less the rows the initial filters
# hide. Then, with Filter List up, the window manager (openbox, asked by wmctrl) sends the main
# window a close request, which ends the program and opens the maker's page once through the
# desktop's URL handler (xdg-open, here a recorder).
# Usage: test_copy_x11.sh PROGRAM CONNECTION_HOLDER
set -u
source "$(dirname "$0")/support/x11_session.sh"
require_tools Xvfb openbox wmctrl xdotool xclip unshare ip ss python3
reexec_in_own_network_namespace "$@"
begin_session
python3 "$2" "$work/held" &
holder_pid=$!
within_10s test -e "$work/held" || fail "the loopback connections were not set up"
start_xvfb || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
start_openbox || fail "openbox did not start: $(cat "$work/openbox.log")"
mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>%s/opened\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
start_program env -u BROWSER PATH="$work/bin:$PATH" "$1"
main=$(window_named "Korvane Sockview - .*")
type_into "$main" alt+c || fail "no main window took Alt+C"
# "&Copy Now" has the focus; Local IP and Remote IP are ticked. Tick the other three, then go
# round to "&Copy Now" and press it.
type_into "$(window_named "Form Copy")" Tab Tab space Tab Tab space Tab space Tab Tab space
copied() { DISPLAY=$display xclip -sel clip -o >"$work/clipboard" 2>/dev/null && [[ -s $work/clipboard ]]; }
within_10s copied || fail "xclip read nothing from the clipboard"

# What the list must hold: ss's rows in the platform's order (a version sort orders addresses by
# their numbers), less those from 0.0.0.0 or 127.0.0.1 or to 192.168.1.1 or 0.0.0.0.
ss -Htan4 | awk '{ split($4, l, ":"); split($5, r, ":")
    if (l[1] !~ /^(0\.0\.0\.0|127\.0\.0\.1)$/ && r[1] !~ /^(192\.168\.1\.1|0\.0\.0\.0)$/)
        printf "%s\t%s\t%s\t%s\t%s\t\r\n", l[1], l[2], r[1], r[2], $1 }' |
    sort -t $'\t' -k1,1V -k2,2n -k3,3V -k4,4n >"$work/expected"
cmp -s "$work/expected" "$work/clipboard" ||
    fail "the clipboard differs from ss's table: $(diff <(cat -A "$work/expected") <(cat -A "$work/clipboard") | head)"

DISPLAY=$display xdotool key Return  # the message box that says the list was copied
type_into "$main" alt+f
window_named "Filter List" >/dev/null && DISPLAY=$display wmctrl -i -c "$main"
within_10s eval '! kill -0 $program_pid 2>/dev/null' || fail "it still runs after the close request"
wait "$program_pid" || fail "the program ended with status $?"
program_pid=
opened() { [[ -s $work/opened ]] && ! pgrep -f "$work/bin/xdg-open" >/dev/null; }
within_10s opened && [[ $(cat "$work/opened") == https://www.korvane.example/sockview ]] ||
    fail "expected one opening of the maker's page, got: $(cat "$work/opened" 2>/dev/null)"
echo "PASS: the clipboard held the $(wc -l <"$work/expected") listed connections, byte for byte; a close request with Filter List up opened the maker's page once"
