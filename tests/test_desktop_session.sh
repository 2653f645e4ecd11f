#!/usr/bin/env bash
# The program as a user meets it on a real desktop: on X11 (Xvfb with openbox) and on Wayland (the
# compositor sway, where an X display is offered too), in a network namespace of its own.
# Under a session manager that speaks XSMP as a desktop's does (support/session_manager): a save of
# the session (a checkpoint, twice) leaves the program running with no page opened; the end of the
# session (a shutdown, then die) runs the exit sequence once: the maker's page opens once through
# the desktop's URL handler (xdg-open, here a recorder), the program ends. On Wayland too, where Qt
# speaks to no session manager itself.
# As a user's keyboard would: the copy window opened with Alt+C, all five columns chosen and
# "&Copy Now" pressed. Another program (xclip) then reads from the clipboard exactly what ss
# reports, less the rows the initial filters hide. Then, with Filter List up, the window manager
# (openbox, asked by wmctrl; sway's kill) sends the main window a close request, which ends the
# program and opens the page once more.
# Under the window manager or the compositor: the list has its designed size from the first
# showing and follows the window's size, and Filter List is a dialog of the main window. On X11,
# the main window's frame is centred, the copy window opens at its fixed place, and the window
# manager places Filter List, offers no maximise, and minimises it only with the main window. On
# Wayland the program comes up on Wayland; a click on the main window (which sway raises) brings
# Filter List back in front, and Copy... the copy window; where Qt draws the title bar, the caption
# keeps the program's name and the counts.
# Usage: test_desktop_session.sh x11|wayland PROGRAM CONNECTION_HOLDER SESSION_MANAGER
source "$(dirname "$0")/support/$1_session.sh"
reexec_in_own_network_namespace "$@"
begin_session wmctrl xdotool xclip xwininfo ss python3

coproc "$4" >"$work/said" 2>&1; holder_pid=$COPROC_PID
within 10 test -s "$work/said" || fail "the session manager did not start"
start_program env SESSION_MANAGER="$(head -n 1 "$work/said")" "$2"
said() { [[ $(grep -cx "$1" "$work/said") -ge $2 ]]; }
within 10 said registered 1 || fail "the program did not register: $(cat "$work/said")"
# The second checkpoint is answered only by a program still running after the first.
for checkpoint in 1 2; do
    echo checkpoint >&"${COPROC[1]}"
    within 10 said saved "$checkpoint" || fail "no save at checkpoint $checkpoint"
done
[[ ! -e $work/opened ]] || fail "a checkpoint opened the page: $(cat "$work/opened")"
echo shutdown >&"${COPROC[1]}"
within 10 said died 1 || fail "the program did not save for the session's end"
ends_opening_page "the end of the session" 1

python3 "$3" "$work/held" & holder_pid="$holder_pid $!"
within 10 test -e "$work/held" || fail "the loopback connections were not set up"
# Every widget gets a window of its own, so that the list's size can be read from outside on X.
start_program env QT_USE_NATIVE_WINDOWS=1 "$2"
main=$(window_named "Korvane Sockview - .* shown, .*")

[[ $1 == x11 ]] || swaymsg "[con_id=$main] floating enable" >/dev/null  # at its own size, as on X11
list_is() { [[ $(list_size) == "$1" ]]; }
within 10 list_is 537x353 || fail "the list is $(list_size) at the first showing, not 537x353"
resize_window "$main" 700 600
within 10 list_is 685x472 || fail "the list is $(list_size) at 700 x 600, not 685x472"
resize_window "$main" 552 481
within 10 list_is 537x353 || fail "the list is $(list_size) back at 552 x 481, not 537x353"

type_into "$main" alt+c || fail "no main window took Alt+C"
copy_every_column_as_ss_lists "\r\n"
press_keys Return  # the message box that says the list was copied

if [[ $1 == wayland ]]; then
    # Sway raises a floating window that it gives the focus, as at a click.
    on_top() { sway_window "$1" 'not above and w["focused"] or exit(1)' >/dev/null; }
    type_into "$main" alt+c && within 10 on_top "Form Copy" && swaymsg "[con_id=$main] focus" >/dev/null && within 10 on_top "$main"
    type_into "$main" alt+c
    within 10 on_top "Form Copy" || fail "Copy... did not bring the copy window back"
    type_into "$main" alt+f && window_named "Filter List" >/dev/null && swaymsg "[con_id=$main] focus" >/dev/null
    within 10 on_top "Filter List" || fail "Filter List stayed behind the main window"
    swaymsg "[con_id=$main] border csd" >/dev/null  # Qt draws the title bar, as on mutter
    within 10 eval '[[ $(sway_window "$main" "w[\"name\"]") =~ ^Korvane\ Sockview\ -\ .+….*\ hidden$ ]]' || fail "the caption is cut: $(sway_window "$main" 'w["name"]')"
    swaymsg "[con_id=$main] kill" >/dev/null
else
    # The frame, from the window manager's extents, centred on Xvfb's 1024 x 768 screen to the pixel.
    frame_centred() {
        read -r l r t b < <(xprop -id "$main" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ,)
        read -r cx cy cw ch < <(client_area "$main")
        (( dx = 2 * (cx - l) + cw + l + r - 1024, dy = 2 * (cy - t) + ch + t + b - 768 ))
        (( ${b:-0} > 0 && dx * dx <= 1 && dy * dy <= 1 ))
    }
    within 10 frame_centred || fail "not centred: $(client_area "$main")with extents $l $r $t $b"
    # The copy window, still open from the copy.
    within 10 eval '[[ $(client_area "$(window_named "Form Copy")") == "276 266 "* ]]' || fail "the copy window's client area is not at (276, 266)"
    # Filter List has neither a program- nor a user-specified position among its size hints, and
    # the window manager offers no maximise.
    type_into "$main" alt+f
    h=$(xprop -id "$(window_named "Filter List")" WM_NORMAL_HINTS _NET_WM_ALLOWED_ACTIONS)
    [[ $h != *"specified location"* && $h != *MAXIMIZE* ]] || fail "Filter List has a position of its own, or a maximise: $h"
    # Openbox offers to minimise any window, but a dialog goes with the window that it belongs to.
    xdotool windowminimize "$(window_named "Filter List")"
    within 10 eval "xwininfo -id $main | grep -q IsUnMapped" || fail "Filter List was minimised alone"
    wmctrl -i -c "$main"
fi
# The close request, sent with Filter List up, ends the program.
ends_opening_page "the close request" 2
