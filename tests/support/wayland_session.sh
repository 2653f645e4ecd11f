# The functions of x11_session.sh for a headless Wayland compositor: sway, the one in Debian that
# lets another program type, read its windows' places and stacking, and take pictures. Source it
# instead, and the same cases run. A window's id is sway's container id.
source "$(dirname "${BASH_SOURCE[0]}")/x11_session.sh"

# Skips the test unless sway and its tools are there; makes $work, then starts sway on a virtual
# 1024 x 768 screen, as the user nobody when run as root (sway refuses root), and waits for it.
begin_session() {
    require_tools sway swaymsg wtype grim wl-paste python3 setpriv
    make_work_directory && mkdir -m 700 "$work/run" && chmod 711 "$work" && export XDG_RUNTIME_DIR=$work/run
    local as=(); [[ $(id -u) != 0 ]] || { chown nobody "$work/run" && as=(setpriv --reuid=nobody --regid=nogroup --clear-groups); }
    printf 'output * resolution 1024x768\nxwayland disable\n' >"$work/run/sway.conf"
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${as[@]}" sway -c "$work/run/sway.conf" >"$work/sway.log" 2>&1 & xvfb_pid=$!
    within 10 eval 'export SWAYSOCK=$(echo "$work"/run/sway-ipc.*) && swaymsg -t get_version &>/dev/null' || fail "sway did not start: $(cat "$work/sway.log")"
    export WAYLAND_DISPLAY=$(basename "$(echo "$work"/run/wayland-?)")
    # A keyboard for the whole session: the program binds one only once the seat has one.
    wtype -s 2000000000 & xvfb_pid="$xvfb_pid $!"
    # As in a Wayland session, an X display (:99, whatever answers there) is offered as well.
    session_environment=(XDG_SESSION_TYPE=wayland DISPLAY=:99)
}

# The Python expression $2 over the program's shown window `w` whose title matches $1 (or whose
# id is $1), and over
# `above`, the floating windows above it, top last.
sway_window() {
    swaymsg -rt get_tree | python3 -c 'import json, re, sys
walk = lambda n: [n] + [d for c in n["nodes"] + n["floating_nodes"] for d in walk(c)]; shown = [n for n in walk(json.load(sys.stdin)) if n.get("pid") and n["visible"]]
w = next(n for n in shown if re.fullmatch(sys.argv[1], n["name"] or "") or str(n["id"]) == sys.argv[1])
above = [n for n in shown[shown.index(w) + 1:] if n["type"] == "floating_con"]
print(eval(sys.argv[2] or "w[\"id\"]"))' "$1" "${2-}" 2>/dev/null
}
window_named() { within 20 sway_window "$1"; }
program_window_shown() { sway_window "Korvane Sockview.*" >/dev/null; }
read_clipboard() { wl-paste -n; }

# Keys as xdotool names them; one modifier at most.
press_keys() { local k keys=(); for k; do [[ $k == *+* ]] && keys+=(-M "${k%+*}" -k "${k#*+}" -m "${k%+*}") || keys+=(-k "$k"); done; wtype -d 40 "${keys[@]}"; }
type_into() { swaymsg "[con_id=$1] focus" >/dev/null && within 10 sway_window "$1" 'w["focused"] or exit(1)' >/dev/null; press_keys "${@:2}"; }
# Sway sizes the window with its border and title bar.
resize_window() { swaymsg "[con_id=$1] resize set $(sway_window "$1" "'%d %d' % ($2 + w['rect']['width'] - w['window_rect']['width'], $3 + w['rect']['height'] + w['deco_rect']['height'] - w['window_rect']['height'])")" >/dev/null; }
client_area() { sway_window "$1" '"%d %d %d %d " % (w["rect"]["x"] + w["window_rect"]["x"], w["rect"]["y"] + w["window_rect"]["y"], w["window_rect"]["width"], w["window_rect"]["height"])'; }
# The main window's list, read from the pixels: from its top left corner at its designed place
# (120, 1800 twips) to the window's colour.
list_size() {
    read -r x y width height < <(client_area "$main")
    grim -t ppm -g "$x,$y ${width}x$height" - | python3 -c 'import sys
header, pixels = sys.stdin.buffer.read().split(b"\n255\n", 1); width = int(header.split()[1])
green = lambda x, y: pixels[3 * (y * width + x):][:3] == bytes((192, 255, 192))
print("%dx%d" % (next(x for x in range(8, width) if green(x, 121)) - 8, next(y for y in range(120, 9999) if green(9, y)) - 120))'
}
