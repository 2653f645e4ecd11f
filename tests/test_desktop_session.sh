#!/usr/bin/env bash
# Under a real window manager on a real display server (openbox on Xvfb, or the compositor sway),
# as a user meets the windows: the list has its designed size from the first showing and follows
# the window's size, and Filter List is a dialog of the main window. On X11, the main window's
# frame is centred, the copy window opens at its fixed place, and the window manager places
# Filter List, offers no maximise, and minimises it only with the main window. On Wayland, where
# an X display is offered too, the program comes up on Wayland; a click on the main window (which
# sway raises) brings Filter List back in front, and Copy... the copy window; where Qt draws the
# title bar, the caption keeps the program's name and the counts.
# Usage: test_desktop_session.sh x11|wayland PROGRAM
source "$(dirname "$0")/support/$1_session.sh"
begin_session xdotool xwininfo
# Every widget gets a window of its own, so that the list's size can be read from outside on X.
start_program env QT_USE_NATIVE_WINDOWS=1 "$2"
main=$(window_named "Korvane Sockview - .*") || fail "no main window"

# "X Y WIDTH HEIGHT " of a window's client area on the screen.
if [[ $1 == x11 ]]; then
client_area() { xwininfo -id "$1" | awk '/Absolute upper-left|Width|Height/ {printf "%s ", $NF}'; }
# The list is the main window's child window at its designed place, 120 and 1800 twips.
list_size() { xwininfo -children -id "$main" | grep -o '[0-9]*x[0-9]*+8+120 ' | cut -d+ -f1; }
else
[[ $(sway_window "$main" 'w["shell"]') == xdg_shell ]] || fail "the main window is not on Wayland"
swaymsg "[con_id=$main] floating enable" >/dev/null  # at its own size, as openbox shows it
client_area() { sway_window "$1" '"%d %d %d %d " % (w["rect"]["x"] + w["window_rect"]["x"], w["rect"]["y"] + w["window_rect"]["y"], w["window_rect"]["width"], w["window_rect"]["height"])'; }
# The list's frame, from its top left corner at its designed place to the window's colour.
list_size() {
    read -r x y width height < <(client_area "$main")
    grim -t ppm -g "$x,$y ${width}x$height" - | python3 -c 'import sys
header, pixels = sys.stdin.buffer.read().split(b"\n255\n", 1)
width = int(header.split()[1])
green = lambda x, y: pixels[3 * (y * width + x):][:3] == bytes((192, 255, 192))
print("%dx%d" % (next(x for x in range(8, width) if green(x, 121)) - 8, next(y for y in range(120, 9999) if green(9, y)) - 120))'
}
fi
list_is() { [[ $(list_size) == "$1" ]]; }
within_10s list_is 537x353 || fail "the list is $(list_size) at the first showing, not 537x353"
resize_window "$main" 700 600
within_10s list_is 685x472 || fail "the list is $(list_size) at 700 x 600, not 685x472"
resize_window "$main" 552 481
within_10s list_is 537x353 || fail "the list is $(list_size) back at 552 x 481, not 537x353"

if [[ $1 == wayland ]]; then
    # Sway raises a floating window that it gives the focus, as at a click.
    on_top() { sway_window "$1" 'not above and w["focused"] or exit(1)' >/dev/null; }
    type_into "$main" alt+c
    within_10s on_top "Form Copy" && swaymsg "[con_id=$main] focus" >/dev/null && within_10s on_top "$main"
    type_into "$main" alt+c
    within_10s on_top "Form Copy" || fail "Copy... did not bring the copy window back"
    type_into "$main" alt+f
    window_named "Filter List" >/dev/null && swaymsg "[con_id=$main] focus" >/dev/null
    within_10s on_top "Filter List" || fail "Filter List stayed behind the main window"
    swaymsg "[con_id=$main] border csd" >/dev/null  # Qt draws the title bar, as on mutter
    readable() { [[ $(sway_window "$main" 'w["name"]') =~ ^Korvane\ Sockview\ -\ .+….*\ hidden$ ]]; }
    within_10s readable || fail "the caption is cut: $(sway_window "$main" 'w["name"]')"
    exit 0
fi
# The frame, from the window manager's extents, centred on Xvfb's 1024 x 768 screen to the pixel.
frame_centred() {
    read -r l r t b < <(xprop -id "$main" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ,)
    read -r cx cy cw ch < <(client_area "$main")
    (( dx = 2 * (cx - l) + cw + l + r - 1024, dy = 2 * (cy - t) + ch + t + b - 768 ))
    (( ${b:-0} > 0 && dx * dx <= 1 && dy * dy <= 1 ))
}
within_10s frame_centred || fail "not centred: $(client_area "$main")with extents $l $r $t $b"

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
