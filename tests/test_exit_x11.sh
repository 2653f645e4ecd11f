#!/usr/bin/env bash
# On a real X server, Alt+E pressed from outside ends the program with status 0 and opens the
# maker's page exactly once through the desktop's URL handler (xdg-open, here a recorder).
set -u
source "$(dirname "$0")/support/x11_session.sh"
require_tools Xvfb xdotool unshare ip
# Its own network namespace gives the program a small, empty connection table.
reexec_in_own_network_namespace "$@"
begin_session
start_xvfb || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
# Qt hands web addresses to xdg-open outside GNOME and KDE; this one records its arguments.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>"%s"\n' "$work/opened" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
start_program env -u BROWSER -u DEFAULT_BROWSER PATH="$work/bin:$PATH" "$1"
type_into "$(window_named "Korvane Sockview - .*")" alt+e || fail "no main window took Alt+E"
program_ended() { ! kill -0 "$program_pid" 2>/dev/null; }
within_10s program_ended || fail "the program is still running after Alt+E"
wait "$program_pid" || fail "the program ended with status $?"
program_pid=
# The handler runs detached; wait until every one started has written its line.
recorders_done() { [[ -s $work/opened ]] && ! pgrep -f "$work/bin/xdg-open" >/dev/null; }
within_10s recorders_done || fail "the web page was not opened"
page=https://www.korvane.example/sockview
[[ $(cat "$work/opened") == "$page" ]] || fail "expected one opening of $page: $(cat "$work/opened")"
echo "PASS: Alt+E opened $page once and ended the program"
