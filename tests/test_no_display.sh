#!/usr/bin/env bash
# Without a display the program says so in one line and leaves with status 1, without aborting.
set -u
program=$1
failed=0
check() {  # name, then the environment changes
    local name=$1; shift
    local err; err=$(mktemp)
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" >/dev/null 2>"$err" </dev/null
    local rc=$?
    local lines; lines=$(wc -l <"$err")
    if [[ $rc == 1 && $lines == 1 ]] && grep -q display "$err"; then
        echo "PASS: $name: $(cat "$err")"
    else
        echo "FAIL: $name: exit $rc, $lines lines: $(cat "$err")"; failed=$((failed + 1))
    fi
    rm -f "$err"
}
check "no DISPLAY" -u DISPLAY
check "unreachable DISPLAY" DISPLAY=:97
exit $failed
