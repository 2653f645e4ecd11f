#!/usr/bin/env bash
# On a real X server, Alt+E pressed from outside ends the program and opens the maker's page
# exactly once through the desktop's URL handler (xdg-open, here a recorder).
set -u
program=$1
page=https://www.korvane.example/sockview

for tool in Xvfb xdotool unshare; do
    if ! command -v "$tool" >/dev/null; then
        if [[ ${CI:-} == true ]]; then echo "FAIL: $tool is not installed"; exit 1; fi
        echo "SKIP: $tool is not installed (make setup installs it)"; exit 77
    fi
done

work=$(mktemp -d)
xvfb_pid= program_pid=
cleanup() {
    [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [[ -s $work/program.log ]] && sed 's/^/  program: /' "$work/program.log"; exit 1; }

# Polls a condition for at most about ten seconds.
within_10s() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}

# Xvfb picks a free display number itself and writes it to descriptor 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
within_10s test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=:$(head -n 1 "$work/display")

# Qt hands web addresses to xdg-open outside GNOME and KDE; this one records its arguments.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$*" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"

# Its own network namespace gives the program a small, empty connection table.
namespace=(unshare -n)
[[ $(id -u) == 0 ]] || namespace=(unshare -rn)
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION \
    -u BROWSER -u DEFAULT_BROWSER DISPLAY="$display" PATH="$work/bin:$PATH" \
    "${namespace[@]}" "$program" >"$work/program.log" 2>&1 &
program_pid=$!

window=$(DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name "Korvane Sockview" |
         head -n 1)
[[ -n $window ]] || fail "the main window did not appear"
# No window manager runs here: give the window the keyboard focus, then type as a keyboard does.
DISPLAY=$display xdotool windowfocus --sync "$window" key alt+e ||
    fail "xdotool could not press Alt+E"

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
