#!/usr/bin/env bash
# Takes the README's pictures: starts the built program on a private X server, in a network
# namespace of its own with over two thousand loopback connections, opens each window from the
# keyboard (and the About window's label with the mouse), and saves one PNG per window. One
# connection opens after the first snapshot, so that the refreshed list marks it as new, and the
# mouse rests on it for a picture of its tooltip, which names the two processes that hold it,
# their program, the host at its other end, the service and the traffic so far.
#
# Needs (Debian packages): xvfb openbox xdotool x11-utils imagemagick iproute2 python3, fonts-liberation2 (faces
# with the metrics of Times New Roman and Arial, so texts wrap as designed), and root or user
# namespaces for unshare. Usage: tools/screenshots.sh [PROGRAM] [OUTPUT_DIRECTORY]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/app/korvane-sockview}
out=${2:-$root/docs/screenshots}

source "$root/tests/support/x11_session.sh"
reexec_in_own_network_namespace "$program" "$out"
begin_session
fail() { echo "screenshots: $*" >&2; exit 1; }

# Saves a window's picture, with 256 colours at most to keep the file small.
shoot() {
    sleep 0.5  # a window shows before it has painted itself
    DISPLAY=$display import -window "$1" +dither -colors 256 -strip "PNG8:$out/$2.png" ||
        fail "could not save $2.png"
    echo "$out/$2.png"
}

click_at() {  # window, x, y in the window's client area
    DISPLAY=$display xdotool mousemove --sync --window "$1" "$2" "$3" click 1
}

mkdir -p "$out"
ip link set lo up || fail "cannot bring up the loopback interface"
python3 "$root/tests/support/hold_loopback_connections.py" "$work/held" &
holder_pid=$!
within_10s test -e "$work/held" || fail "the loopback connections were not set up"

start_desktop
start_program "$program"
main=$(window_named "Korvane Sockview - .* shown, .*")
[[ -n $main ]] || fail "the main window did not appear"
# Its client end is on 127.0.0.1, which the default filters hide: one new row shows, the first
# in the list, held by the accepting process and by a worker it forked, as servers do, with a
# request read and a page sent.
/usr/bin/python3 -c 'import ctypes, os, socket, sys, time
name = lambda text: ctypes.CDLL(None).prctl(15, text, 0, 0, 0)  # PR_SET_NAME
name(b"web-server")
listener = socket.create_server(("127.0.0.2", 443))
client = socket.create_connection(("127.0.0.2", 443), source_address=("127.0.0.1", 0))
server, _ = listener.accept()
client.sendall(b"GET / " * 205)
server.recv(4096)
server.sendall(b"<p>page</p>" * 4400)
if os.fork() == 0:
    name(b"web-worker")
    ctypes.CDLL(None).prctl(1, 9, 0, 0, 0)  # PR_SET_PDEATHSIG: ends with the server
else:
    open(sys.argv[1], "w").close()
time.sleep(120)' "$work/newcomer" &
holder_pid="$holder_pid $!"
within_10s test -e "$work/newcomer" || fail "the new connection was not opened"
type_into "$main" alt+r
shoot "$main" main-window

DISPLAY=$display xdotool mousemove --window "$main" 80 152
sleep 1.5  # the tooltip waits for the mouse to rest
# The client area's place on the screen, inside the window manager's frame.
read -r X Y WIDTH < <(DISPLAY=$display xwininfo -id "$main" |
    awk '/Absolute upper-left [XY]|Width/ {printf "%s ", $NF} END {print ""}')
DISPLAY=$display import -window root -crop "${WIDTH}x330+$X+$Y" +repage +dither -colors 256 \
    -strip "PNG8:$out/owner-tooltip.png" || fail "could not save owner-tooltip.png"
echo "$out/owner-tooltip.png"
DISPLAY=$display xdotool mousemove 0 0

type_into "$main" alt+c
copy=$(window_named "Form Copy")
shoot "$copy" copy-window
type_into "$copy" Tab Tab Tab Tab Tab Tab space  # round to "&Close"

type_into "$main" alt+f
filters=$(window_named "Filter List")
shoot "$filters" filter-list-window
type_into "$filters" alt+a
addnew=$(window_named "Add New Filter")
shoot "$addnew" add-filter-window
type_into "$addnew" Escape
type_into "$filters" Escape

type_into "$main" alt+a
about=$(window_named "About Korvane Sockview")
shoot "$about" about-window
click_at "$about" 100 15  # the version line leaves the window
programmer=$(window_named "About Programmer")
shoot "$programmer" about-programmer-window
