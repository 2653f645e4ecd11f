# Shell functions for driving the program on a private X server (Xvfb) from outside, as a user's
# keyboard would. Source it, then call begin_session for the scratch directory $work and the
# desktop.

# A step that fails unchecked ends the test there, named by the test's line and the command
# (ignored inside $(...), whose failure the step that uses it reports).
set -eEuo pipefail
trap '[[ $BASHPID != "$$" ]] || failed_step "$BASH_COMMAND"' ERR
failed_step() { fail "line ${BASH_LINENO[-2]}${FUNCNAME[2]:+, in ${FUNCNAME[1]}}: $1"; }

# Skips the test (status 77); in CI that is a failure instead.
skip() { [[ ${CI:-} == true ]] && { echo "FAIL: $*"; exit 1; }; echo "SKIP: $*"; exit 77; }

# Ends the test as failed, with what the program said.
fail() { echo "FAIL: $*"; sed 's/^/  program: /' "${work:-}/program.log" 2>/dev/null || :; exit 1; }

# Skips the test when one of the tools is missing.
require_tools() { for tool in "$@"; do command -v "$tool" >/dev/null || skip "$tool missing"; done; }

# Runs the calling script again, once, inside a network namespace of its own with its loopback
# interface up, where the only connections are those it opens. Pass the script's arguments.
reexec_in_own_network_namespace() {
    require_tools unshare ip
    if [[ -n ${IN_OWN_NETWORK_NAMESPACE:-} ]]; then ip link set lo up; return; fi
    local namespace=(unshare -n)
    [[ $(id -u) == 0 ]] || namespace=(unshare -rn)
    "${namespace[@]}" true 2>/dev/null || skip "this user cannot make a network namespace"
    IN_OWN_NETWORK_NAMESPACE=1 exec "${namespace[@]}" "$0" "$@"
}

# Polls a condition for at most about $1 seconds.
within() { for ((tries = $1 * 10; tries > 0; tries--)); do "${@:2}" && return 0; sleep 0.1; done; return 1; }

# Makes the scratch directory $work; on exit, ends whichever of the display server, the program
# and the connection holder were started, and removes it. A recorder stands in $work/bin for the
# desktop's URL handler (xdg-open): each page opened becomes a line of $work/opened.
make_work_directory() {
    work=$(mktemp -d)
    trap 'kill ${program_pid:-} ${holder_pid:-} ${xvfb_pid:-} 2>/dev/null || :; wait; rm -rf "$work"' EXIT
    mkdir "$work/bin"
    printf '#!/bin/sh\necho "$*" >>%s/opened\n' "$work" >"$work/bin/xdg-open"
    chmod +x "$work/bin/xdg-open"
}

# Skips the test unless Xvfb, openbox, xprop and the tools named are there; makes $work. Then
# starts Xvfb on a display number it picks itself (sets display and xvfb_pid and exports
# DISPLAY), then openbox, and waits until openbox manages the screen. Openbox ends with Xvfb.
begin_session() {
    require_tools Xvfb openbox xprop "$@"
    make_work_directory
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    within 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=:$(head -n 1 "$work/display") && display=$DISPLAY
    session_environment=(-u WAYLAND_DISPLAY DISPLAY="$display")
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    within 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "openbox did not start: $(cat "$work/openbox.log")"
}

# Starts the program on the session's display, with nothing of the caller's desktop and pages
# opened through the recorder; sets program_pid.
start_program() {
    env -u QT_QPA_PLATFORM -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u BROWSER \
        "${session_environment[@]}" PATH="$work/bin:$PATH" "$@" >"$work/program.log" 2>&1 &
    program_pid=$!
}

# The id of the first visible window whose title is exactly the given one, once it is shown.
# xdotool gives up when a window it looks at goes away meanwhile (Wine makes and drops windows of
# its own as a program starts): it is asked again.
window_named() {
    local id
    for _ in 1 2 3; do
        id=$(DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null |
            head -1) || continue
        [[ -n $id ]] && echo "$id" && return
    done
    return 1
}

# No window manager runs here: give the window the keyboard focus, then type as a keyboard does.
type_into() { DISPLAY=$display xdotool windowfocus --sync "$1" key --delay 40 "${@:2}"; }
press_keys() { DISPLAY=$display xdotool key --delay 40 "$@"; }
# "X Y WIDTH HEIGHT " of a window's client area on the screen.
client_area() { xwininfo -id "$1" | awk '/Absolute upper-left|Width|Height/ {printf "%s ", $NF}'; }
# The size of the main window's list, its child window at its designed place (120, 1800 twips).
list_size() { xwininfo -children -id "$main" | grep -o '[0-9]*x[0-9]*+8+120 ' | cut -d+ -f1; }
resize_window() { xdotool windowsize "$@"; }
program_window_shown() { xdotool search --onlyvisible --name "^Korvane Sockview" >/dev/null; }
read_clipboard() { DISPLAY=$display xclip -sel clip -o; }

# The program ends with status 0 after $1, having opened the maker's page through the recorder
# so far $2 times in all.
ends_opening_page() {
    # Started through a shortcut, it is no child of ours; its windows' end tells then.
    gone() { ! kill -0 $program_pid 2>/dev/null && ! program_window_shown; }
    within 10 gone || fail "the program still runs after $1"
    wait "$program_pid" || fail "the program ended with status $? after $1"
    program_pid=
    opened() { [[ $(grep -sc . "$work/opened") == "$1" ]] && ! pgrep -f "$work/bin/xdg-open" >/dev/null; }
    within 10 opened "$2" && [[ $(sort -u "$work/opened") == https://www.korvane.example/sockview ]] ||
        fail "after $1, expected the maker's page opened $2 times: $(cat "$work/opened" 2>/dev/null)"
}

# In the copy window just opened, where "&Copy Now" has the focus and Local IP and Remote IP are
# ticked: ticks the other three, goes round to "&Copy Now" and presses it. Another program
# (xclip) must then read from the clipboard exactly ss's rows, each line ending in $1, in the
# platform's order (a version sort orders addresses by their numbers), less those from 0.0.0.0
# or 127.0.0.1 or to 192.168.1.1 or 0.0.0.0.
copy_every_column_as_ss_lists() {
    type_into "$(window_named "Form Copy")" Tab Tab space Tab Tab space Tab space Tab Tab space
    copied() { read_clipboard >"$work/clipboard" 2>/dev/null && [[ -s $work/clipboard ]]; }
    within 10 copied || fail "another program read nothing from the clipboard"
    ss -Htan4 | awk -v end="$1" '{ split($4, l, ":"); split($5, r, ":")
        if (l[1] !~ /^(0\.0\.0\.0|127\.0\.0\.1)$/ && r[1] !~ /^(192\.168\.1\.1|0\.0\.0\.0)$/)
            printf "%s\t%s\t%s\t%s\t%s\t%s", l[1], l[2], r[1], r[2], $1, end }' |
        sort -t $'\t' -k1,1V -k2,2n -k3,3V -k4,4n >"$work/expected"
    cmp -s "$work/expected" "$work/clipboard" ||
        fail "the clipboard differs from ss's table: $(diff <(cat -A "$work/expected") <(cat -A "$work/clipboard") | head)"
}
