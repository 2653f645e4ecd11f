#!/usr/bin/env bash
# Without a display the program says so in one line and leaves with status 1, without aborting.
set -u
failed=0
check() {  # what the line says, then the environment
    local says=$1; shift
    local err; err=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" 2>&1 >/dev/null </dev/null)
    local rc=$?
    if [[ $rc == 1 && $(wc -l <<<"$err") == 1 && $err == *"$says"* ]]; then echo "PASS: $err"
    else echo "FAIL: $*: exit $rc: $err"; failed=1; fi
}
program=$1
check "no display" -u DISPLAY
check "cannot open the display" DISPLAY=:97
exit $failed
