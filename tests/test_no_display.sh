#!/usr/bin/env bash
# Without a display the program says so in one line and leaves with status 1, without aborting:
# when no display is named, and when the one named (X11 or Wayland) cannot be reached.
set -euo pipefail
for case in "neither WAYLAND_DISPLAY nor DISPLAY is set:-u DISPLAY" "cannot open the display:DISPLAY=:97" "cannot open the display:-u DISPLAY XDG_RUNTIME_DIR=/tmp WAYLAND_DISPLAY=none"; do
    status=0
    err=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${case#*:} "$1" 2>&1 >/dev/null </dev/null) || status=$?
    [[ $status == 1 && $(wc -l <<<"$err") == 1 && $err == *"${case%%:*}"* ]] ||
        { echo "FAIL: ${case#*:}: exit $status: $err"; exit 1; }
done
