#!/usr/bin/env bash
# On a real display server (Xvfb with openbox, or the compositor sway), as a user's keyboard would: the copy window opened with Alt+C, all five
# columns chosen and "&Copy Now" pressed. Another program (xclip) then reads from the clipboard
# exactly what ss reports in the program's network namespace, less the rows the initial filters
# hide. Then, with Filter List up, the window manager (openbox, asked by wmctrl; sway's kill) sends
# the main window a close request, which ends the program and opens the maker's page once through
# the desktop's URL handler (xdg-open, here a recorder).
# Usage: test_copy_session.sh x11|wayland PROGRAM CONNECTION_HOLDER
source "$(dirname "$0")/support/$1_session.sh"
reexec_in_own_network_namespace "$@"
begin_session wmctrl xdotool xclip ss python3
python3 "$3" "$work/held" & holder_pid=$!
within_10s test -e "$work/held" || fail "the loopback connections were not set up"
start_program "$2"
main=$(window_named "Korvane Sockview - .* shown, .*")
type_into "$main" alt+c || fail "no main window took Alt+C"
copy_every_column_as_ss_lists "\r\n"

press_keys Return  # the message box that says the list was copied
type_into "$main" alt+f
window_named "Filter List" >/dev/null || fail "Filter List did not open"
if [[ $1 == x11 ]]; then DISPLAY=$display wmctrl -i -c "$main"; else swaymsg "[con_id=$main] kill" >/dev/null; fi
ends_opening_page "the close request" 1
