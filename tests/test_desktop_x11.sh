#!/usr/bin/env bash
# Under a real window manager (openbox) on a real X server, with a Wayland display offered as
# well: the program comes up on X, the main window's frame is centred, the list has its designed
# size from the first showing and follows the window's size, the copy window opens at its fixed
# place, and Filter List is a dialog of the main window: the window manager places it, offers no
# maximise, and minimises it only with the main window.
# Usage: test_desktop_x11.sh PROGRAM
source "$(dirname "$0")/support/x11_session.sh"
begin_session xdotool xwininfo python3

# A Wayland display that takes connections and never answers: a program that asked Qt for Wayland
# would wait on it for ever. (Qt falls back on X by itself when a Wayland display cannot be
# reached at all.)
python3 -c 'import sys, time; from socket import *
s = socket(AF_UNIX); s.bind(sys.argv[1]); s.listen(); time.sleep(600)' "$work/wayland-0" & holder_pid=$!
within_10s test -S "$work/wayland-0" || fail "the Wayland display was not set up"
# Every widget gets an X window of its own, so that the list's size can be read from outside.
start_program env WAYLAND_DISPLAY="$work/wayland-0" XDG_SESSION_TYPE=wayland \
    QT_USE_NATIVE_WINDOWS=1 "$1"
[[ -n ${main:=$(window_named "Korvane Sockview - .*")} ]] || fail "the main window is not on X"

# "X Y WIDTH HEIGHT " of a window's client area on the screen.
client_area() { xwininfo -id "$1" | awk '/Absolute upper-left|Width|Height/ {printf "%s ", $NF}'; }
# The frame, from the window manager's extents, centred on Xvfb's 1024 x 768 screen to the pixel.
frame_centred() {
    read -r l r t b < <(xprop -id "$main" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ,)
    read -r cx cy cw ch < <(client_area "$main")
    (( dx = 2 * (cx - l) + cw + l + r - 1024, dy = 2 * (cy - t) + ch + t + b - 768 ))
    (( ${b:-0} > 0 && dx * dx <= 1 && dy * dy <= 1 ))
}
within_10s frame_centred || fail "not centred: $(client_area "$main")with extents $l $r $t $b"

# The list is the main window's child window at its designed place, 120 and 1800 twips.
list_size() { xwininfo -children -id "$main" | grep -o '[0-9]*x[0-9]*+8+120 ' | cut -d+ -f1; }
list_is() { [[ $(list_size) == "$1" ]]; }
list_is 537x353 || fail "the list is $(list_size) at the first showing, not 537x353"
xdotool windowsize "$main" 700 600
within_10s list_is 685x472 || fail "the list is $(list_size) at 700 x 600, not 685x472"
xdotool windowsize "$main" 552 481
within_10s list_is 537x353 || fail "the list is $(list_size) back at 552 x 481, not 537x353"

type_into "$main" alt+c
copy_placed() { [[ $(client_area "$(window_named "Form Copy")") == "276 266 "* ]]; }
within_10s copy_placed || fail "the copy window's client area is not at (276, 266)"

# Filter List has neither a program- nor a user-specified position among its size hints, and the
# window manager offers no maximise.
type_into "$main" alt+f
h=$(xprop -id "$(window_named "Filter List")" WM_NORMAL_HINTS _NET_WM_ALLOWED_ACTIONS)
[[ $h != *"specified location"* && $h != *MAXIMIZE* ]] || fail "Filter List has a position of its own, or a maximise: $h"
# Openbox offers to minimise any window, but a dialog goes with the window that it belongs to.
xdotool windowminimize "$(window_named "Filter List")"
within_10s eval "xwininfo -id $main | grep -q IsUnMapped" || fail "Filter List was minimised alone"
