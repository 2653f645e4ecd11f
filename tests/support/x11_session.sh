# Shell functions for driving the program on a private X server (Xvfb) from outside, as a user's
# keyboard would. Source it, then call begin_session for the scratch directory $work.

# Skips the test (status 77) when one of the tools is missing; in CI that is a failure instead.
require_tools() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            if [[ ${CI:-} == true ]]; then echo "FAIL: $tool is not installed"; exit 1; fi
            echo "SKIP: $tool is not installed (make setup installs it)"; exit 77
        fi
    done
}

# Runs the calling script again, once, inside a network namespace of its own, where the only
# connections are those it opens on loopback. Pass the script's arguments.
reexec_in_own_network_namespace() {
    [[ -n ${IN_OWN_NETWORK_NAMESPACE:-} ]] && return 0
    local namespace=(unshare -n)
    [[ $(id -u) == 0 ]] || namespace=(unshare -rn)
    if ! "${namespace[@]}" true 2>/dev/null; then
        if [[ ${CI:-} == true ]]; then echo "FAIL: cannot make a network namespace"; exit 1; fi
        echo "SKIP: this user cannot make a network namespace"; exit 77
    fi
    IN_OWN_NETWORK_NAMESPACE=1 exec "${namespace[@]}" "$0" "$@"
}

# Makes the scratch directory $work; on exit, ends Xvfb, the program and the connection holder
# (whichever were started) and removes it.
begin_session() {
    work=$(mktemp -d)
    xvfb_pid= program_pid= holder_pid=
    trap end_session EXIT
}
end_session() {
    for pid in $program_pid $holder_pid $xvfb_pid; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}

# Polls a condition for at most about ten seconds.
within_10s() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}

# Starts Xvfb on a display number it picks itself; sets display and xvfb_pid.
start_xvfb() {
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    within_10s test -s "$work/display" || return 1
    display=:$(head -n 1 "$work/display")
}

# Starts the program on that display, with nothing of the caller's desktop; sets program_pid.
start_program() {
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION \
        DISPLAY="$display" "$@" >"$work/program.log" 2>&1 &
    program_pid=$!
}

# The id of the first visible window whose title is exactly the given one, once it is shown.
window_named() {
    DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

# The number of visible windows with exactly that title.
windows_named() {
    DISPLAY=$display xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l
}

# No window manager runs here: give the window the keyboard focus, then type as a keyboard does.
type_into() {
    local window=$1; shift
    DISPLAY=$display xdotool windowfocus --sync "$window" key --delay 40 "$@"
}

# Starts openbox on that display and waits until it manages the screen. It ends with Xvfb.
start_openbox() {
    DISPLAY=$display openbox --sm-disable >"$work/openbox.log" 2>&1 &
    within_10s eval 'DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}
