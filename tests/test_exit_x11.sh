#!/usr/bin/env bash
# On a real X server, Alt+E pressed from outside ends the program and opens the maker's page
# exactly once through the desktop's URL handler (xdg-open, here a recorder).
set -u
program=$1
page=https://www.korvane.example/sockview
source "$(dirname "$0")/support/x11_session.sh"
require_tools Xvfb xdotool unshare

begin_session
fail() { echo "FAIL: $*"; [[ -s $work/program.log ]] && sed 's/^/  program: /' "$work/program.log"; exit 1; }

start_xvfb || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

# Qt hands web addresses to xdg-open outside GNOME and KDE; this one records its arguments.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF2
#!/bin/sh
echo "\$*" >>"$work/opened"
EOF2
chmod +x "$work/bin/xdg-open"

# Its own network namespace gives the program a small, empty connection table.
namespace=(unshare -n)
[[ $(id -u) == 0 ]] || namespace=(unshare -rn)
start_program env -u BROWSER -u DEFAULT_BROWSER PATH="$work/bin:$PATH" "${namespace[@]}" "$program"

window=$(window_named "Korvane Sockview.*")
[[ -n $window ]] || fail "the main window did not appear"
type_into "$window" alt+e || fail "xdotool could not press Alt+E"

program_ended() { ! kill -0 "$program_pid" 2>/dev/null; }
within_10s program_ended || fail "the program is still running after Alt+E"
wait "$program_pid"
status=$?
program_pid=
[[ $status == 0 ]] || fail "the program ended with status $status"

# The handler runs detached; wait until every one started has written its line.
recorders_done() { [[ -s $work/opened ]] && ! pgrep -f "$work/bin/xdg-open" >/dev/null; }
within_10s recorders_done || fail "the web page was not opened"
opened=$(cat "$work/opened")
[[ $opened == "$page" ]] || fail "expected one opening of $page, got: $opened"
echo "PASS: Alt+E opened $page once and ended the program"
