#!/usr/bin/env bash
# End to end under Wine, in a network namespace of its own: the installer installs silently; the
# installed program lists the loopback connections held open, and Copy Now puts on the X
# clipboard exactly the rows that ss reports, less those the initial filters hide; Exit opens the
# maker's page once through Wine's hand-off to the desktop's URL handler (a recorder) and ends
# the program, and so does taskkill with Filter List up; the silent uninstall removes what was
# installed.
# Usage: test_installer.sh SETUP.EXE CONNECTION_HOLDER
set -u
source "$(dirname "$0")/../support/x11_session.sh"
require_tools wine wineserver Xvfb openbox xdotool xclip unshare ip ss python3
reexec_in_own_network_namespace "$@"
begin_session
# A Wine server left from an earlier test would read the table of that test's namespace.
wineserver -k 2>/dev/null
python3 "$2" "$work/held" &
holder_pid=$!
within_10s test -e "$work/held" || fail "the loopback connections were not set up"
start_xvfb || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
start_openbox || fail "openbox did not start"
export DISPLAY=$display

folder="$WINEPREFIX/drive_c/Program Files/Korvane Sockview"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvane Sockview.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvaneSockview'
wine "$1" /S || fail "the silent install ended with status $?"
for f in "$folder/korvane-sockview.exe" "$folder/uninstall.exe" "$shortcut"; do [[ -f $f ]] || fail "no $f"; done
wine reg query "$key" /v UninstallString >/dev/null 2>&1 || fail "no uninstaller registered"

mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>%s/opened\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
start_program env -u BROWSER PATH="$work/bin:$PATH" wine "$folder/korvane-sockview.exe"
main=$(window_named "Korvane Sockview - .*")
type_into "$main" alt+c || fail "no main window took Alt+C"
# As on Linux: tick the three columns not ticked yet, then go round to "&Copy Now" and press it.
type_into "$(window_named "Form Copy")" Tab Tab space Tab Tab space Tab space Tab Tab space
# Wine hands the text to X without the carriage returns.
copied() { xclip -sel clip -o >"$work/clipboard" 2>/dev/null && [[ -s $work/clipboard ]]; }
within_10s copied || fail "xclip read nothing from the clipboard"
ss -Htan4 | awk '{ split($4, l, ":"); split($5, r, ":")
    if (l[1] !~ /^(0\.0\.0\.0|127\.0\.0\.1)$/ && r[1] !~ /^(192\.168\.1\.1|0\.0\.0\.0)$/)
        printf "%s\t%s\t%s\t%s\t%s\t\n", l[1], l[2], r[1], r[2], $1 }' |
    sort -t $'\t' -k1,1V -k2,2n -k3,3V -k4,4n >"$work/expected"
cmp -s "$work/expected" <(tr -d '\r' <"$work/clipboard") ||
    fail "the clipboard differs from ss's table: $(diff "$work/expected" "$work/clipboard" | head)"

# The message box that says the list was copied is the second window of that caption; its OK
# button closes it a moment after the key.
copy_windows() { (($(xdotool search --onlyvisible --name '^Form Copy$' | tee "$work/ids" | wc -l) == $1)); }
within_10s copy_windows 2 || fail "no message box said that the list was copied"
type_into "$(tail -n 1 "$work/ids")" Return
within_10s copy_windows 1 || fail "the message box stayed open"
# The program ends with status 0 after $1, and the maker's page has been opened $2 times.
ends_opening_page() {
    within_10s eval '! kill -0 $program_pid 2>/dev/null' || fail "the program still runs after $1"
    wait "$program_pid" || fail "the program ended with status $? after $1"
    times=$2
    opened() { (($(grep -c . "$work/opened") == times)) && ! pgrep -f "$work/bin/xdg-open" >/dev/null; }
    within_10s opened && [[ $(sort -u "$work/opened") == https://www.korvane.example/sockview ]] ||
        fail "after $1, expected the maker's page opened $2 times: $(cat "$work/opened" 2>/dev/null)"
}
# Wine makes the main window active again only through the window manager.
xdotool windowactivate --sync "$main" key --delay 40 alt+e
ends_opening_page Alt+E 1
# Closed from outside with Filter List up: taskkill without /F asks the windows to close.
start_program env -u BROWSER PATH="$work/bin:$PATH" wine "$folder/korvane-sockview.exe"
main=$(window_named "Korvane Sockview - .*")
xdotool windowactivate --sync "$main" key --delay 40 alt+f
window_named "Filter List" >/dev/null || fail "Filter List did not open"
wine taskkill /IM korvane-sockview.exe >/dev/null 2>&1
ends_opening_page taskkill 2
program_pid=

wine "$folder/uninstall.exe" /S
# The uninstaller goes on from a copy of itself; it removes its registration first, the folder
# last.
within_10s eval '[[ ! -e $folder ]]' || fail "the silent uninstall left: $(find "$folder")"
[[ ! -e $shortcut ]] && ! wine reg query "$key" >/dev/null 2>&1 ||
    fail "the silent uninstall left the Start-menu shortcut or the registration"
wineserver -k
