# Shell functions for driving the program on a private X server (Xvfb) from outside, as a user's
# keyboard would. Source it, then call begin_session for the scratch directory $work.

# Skips the test (status 77); in CI that is a failure instead.
skip() { [[ ${CI:-} == true ]] && { echo "FAIL: $*"; exit 1; }; echo "SKIP: $*"; exit 77; }

# Ends the test as failed, with what the program said.
fail() { echo "FAIL: $*"; sed 's/^/  program: /' "${work:-}/program.log" 2>/dev/null; exit 1; }

# Skips the test when one of the tools is missing.
require_tools() { for tool in "$@"; do command -v "$tool" >/dev/null || skip "$tool missing"; done; }

# Runs the calling script again, once, inside a network namespace of its own with its loopback
# interface up, where the only connections are those it opens. Pass the script's arguments.
reexec_in_own_network_namespace() {
    if [[ -n ${IN_OWN_NETWORK_NAMESPACE:-} ]]; then ip link set lo up; return; fi
    local namespace=(unshare -n)
    [[ $(id -u) == 0 ]] || namespace=(unshare -rn)
    "${namespace[@]}" true 2>/dev/null || skip "this user cannot make a network namespace"
    IN_OWN_NETWORK_NAMESPACE=1 exec "${namespace[@]}" "$0" "$@"
}

# Makes the scratch directory $work; on exit, ends whichever of Xvfb, the program and the
# connection holder were started, and removes it.
begin_session() {
    work=$(mktemp -d)
    trap 'kill ${program_pid:-} ${holder_pid:-} ${xvfb_pid:-} 2>/dev/null; wait; rm -rf "$work"' EXIT
}

# Polls a condition for at most about ten seconds.
within_10s() { for _ in {1..100}; do "$@" && return 0; sleep 0.1; done; return 1; }

# Starts Xvfb on a display number it picks itself; sets display and xvfb_pid.
start_xvfb() {
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    within_10s test -s "$work/display" && display=:$(head -n 1 "$work/display")
}

# Starts the program on that display, with nothing of the caller's desktop; sets program_pid.
start_program() {
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION \
        DISPLAY="$display" "$@" >"$work/program.log" 2>&1 &
    program_pid=$!
}

# The id of the first visible window whose title is exactly the given one, once it is shown.
window_named() { DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }

# No window manager runs here: give the window the keyboard focus, then type as a keyboard does.
type_into() { DISPLAY=$display xdotool windowfocus --sync "$1" key --delay 40 "${@:2}"; }

# Starts openbox on that display and waits until it manages the screen. It ends with Xvfb.
start_openbox() {
    DISPLAY=$display openbox --sm-disable >"$work/openbox.log" 2>&1 &
    within_10s eval 'DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}
