#!/usr/bin/env bash
# Under a session manager that speaks XSMP as a desktop's does: a save of the session (a
# checkpoint, twice) leaves the program running with no page opened; the end of the session (a
# shutdown, then die) runs the exit sequence once: the maker's page opens once, the program ends.
# On X11 (Xvfb with openbox) and on Wayland (sway), where Qt speaks to no session manager itself.
# Usage: test_session_end.sh x11|wayland PROGRAM SESSION_MANAGER
source "$(dirname "$0")/support/$1_session.sh"
reexec_in_own_network_namespace "$@"
begin_session
coproc "$3" >"$work/said" 2>&1; holder_pid=$COPROC_PID
within_10s test -s "$work/said" || fail "the session manager did not start"
start_program env SESSION_MANAGER="$(head -n 1 "$work/said")" "$2"
said() { [[ $(grep -cx "$1" "$work/said") -ge $2 ]]; }
within_10s said registered 1 || fail "the program did not register: $(cat "$work/said")"
# The second checkpoint is answered only by a program still running after the first.
for checkpoint in 1 2; do
    echo checkpoint >&"${COPROC[1]}"
    within_10s said saved "$checkpoint" || fail "no save at checkpoint $checkpoint"
done
[[ ! -e $work/opened ]] || fail "a checkpoint opened the page: $(cat "$work/opened")"
echo shutdown >&"${COPROC[1]}"
within_10s said died 1 || fail "the program did not save for the session's end"
ends_opening_page "the end of the session" 1
