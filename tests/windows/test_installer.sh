#!/usr/bin/env bash
# End to end under Wine, in a network namespace of its own: the installer installs silently, and
# again over an older copy, whose files it replaces; started from the Start-menu shortcut, the
# installed program refreshes its list 40 times while loopback connections come and go, then
# once more, and Copy Now puts on the X clipboard exactly the rows that ss reports, less those
# the initial filters hide; Exit opens the maker's page once through Wine's hand-off to the
# desktop's URL handler (a recorder) and ends the program, and so does a close request posted to
# the main window alone while Filter List is up, or the session's end sent to the zip's program
# in a folder named beyond ASCII: a logoff only asked, then cancelled, leaves it running with no
# page opened, one that goes on ends it; while the program runs, the silent installer and
# uninstaller fail and change nothing; the silent uninstall removes what was installed.
# Usage: test_installer.sh SETUP.EXE CONNECTION_HOLDER POST_TO_MAIN_WINDOW.EXE
source "$(dirname "$0")/../support/x11_session.sh"
reexec_in_own_network_namespace "$@"
# Wine reads Unix file names in the locale's encoding, UTF-8 on a desktop; a bare machine has none.
export LC_ALL=C.UTF-8
begin_session wine wineserver xdotool xclip ss python3
# A Wine server left from an earlier test would read the table of that test's namespace.
wineserver -k 2>/dev/null || :  # fails when none is running
touch "$work/churn"
python3 "$2" "$work/held" "$work/churn" & holder_pid=$!
within 10 test -e "$work/held" || fail "the loopback connections were not set up"

folder="$WINEPREFIX/drive_c/Program Files/Korvane Sockview"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvane Sockview.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvaneSockview'
wine "$1" /S || fail "the silent install ended with status $?"
find "$folder" | sort >"$work/installed"
changed() { find "$folder" | sort | diff "$work/installed" -; }
# Over a copy of an older version, which had a DLL that this one has not.
touch "$folder/Qt5Gone.dll" && wine reg add "$key" /v DisplayVersion /d 0.9 /f >/dev/null
wine "$1" /S && changed >/dev/null || fail "installed over an older copy: $(changed)"
[[ $(wine reg query "$key") == *DisplayVersion*1.0*UninstallString* ]] || fail "this version's uninstaller is not registered"

start_program wine start /unix "$shortcut"
main=$(window_named "Korvane Sockview - .* shown, .*")
# While it runs, the installer and the uninstaller leave everything as it was. Told where it is
# installed, the uninstaller works in place and its status is its own; NSIS reads that path
# unquoted to the end of the line, which Wine makes of the words after _?= joined by spaces.
! wine "$1" /S && ! wine "$folder/uninstall.exe" /S '_?=C:\Program' 'Files\Korvane' Sockview && changed >/dev/null ||
    fail "an installer went on while the program ran: $(changed)"
# On screen, the installer says so and offers Retry and Cancel; Cancel ends it with status 2.
timeout 30 wine "$1" & setup_pid=$!  # not left behind should the box not come
type_into "$(window_named "Korvane Sockview 1.0 Setup")" Escape
wait $setup_pid || status=$?
((${status:-0} == 2)) || fail "the installer, cancelled while the program ran, ended with status ${status:-0}"
# Refreshes while connections come and go, each seen as two changes of the title: to "reading the
# connection table..." and to the counts. Under Wine 8 each takes a second or more.
xprop -spy -id "$main" _NET_WM_NAME >"$work/titles" &
refreshed() { (($(grep -c . "$work/titles") == 1 + 2 * $1)); }
for refresh in {1..41}; do
    # The last one after the churn has stopped, for the table to be compared with ss's.
    ((refresh < 41)) || { rm "$work/held" "$work/churn" && within 10 test -e "$work/held"; }
    type_into "$main" alt+r
    within 60 refreshed $refresh || fail "refresh $refresh did not end: $(tail -n 2 "$work/titles")"
done
! grep -v -e ' - reading the connection table\.\.\."$' -e ' - Sockview status as of: .* shown, ' "$work/titles" ||
    fail "a refresh under churn did not read the table"
type_into "$main" alt+c || fail "no main window took Alt+C"
# Wine hands the text to X without the carriage returns.
copy_every_column_as_ss_lists "\n"

# The message box that says the list was copied is the second window of that caption; its OK
# button closes it a moment after the key.
copy_windows() { (($(xdotool search --onlyvisible --name '^Form Copy$' | tee "$work/ids" | wc -l) == $1)); }
within 10 copy_windows 2 || fail "no message box said that the list was copied"
type_into "$(tail -n 1 "$work/ids")" Return
within 10 copy_windows 1 || fail "the message box stayed open"
# Wine makes the main window active again only through the window manager.
xdotool windowactivate --sync "$main" key --delay 40 alt+e
ends_opening_page Alt+E $((pages = 1))
# The portable zip lies beside the installer; its program runs from a folder that a user named.
unzipped="$WINEPREFIX/drive_c/users/Ünïcode Földer" && python3 -m zipfile -e "${1%-setup.exe}-windows.zip" "$unzipped"
declare -A program=([close]="$folder" [end-session]="$(echo "$unzipped"/*)")
# Asked from outside with Filter List up, which Qt alone would not let through to the main window.
for request in close end-session; do
    start_program wine "${program[$request]}/korvane-sockview.exe"
    main=$(window_named "Korvane Sockview - .*")
    xdotool windowactivate --sync "$main" key --delay 40 alt+f
    filters=$(window_named "Filter List") || fail "Filter List did not open"
    # A click on the main window, which Filter List blocks, leaves Filter List above it.
    xdotool mousemove --window "$main" 20 300 click 1 sleep 1 && stacking=$(xprop -root _NET_CLIENT_LIST_STACKING)
    [[ $stacking == *$(printf 0x%x "$main")*$(printf 0x%x "$filters")* ]] || fail "Filter List went behind the main window"
    if [[ $request == end-session ]]; then
        wine "$3" query-end-session && wine "$3" cancel-end-session && sleep 2 &&
            kill -0 $program_pid && [[ $(grep -sc . "$work/opened") == "$pages" ]] ||
            fail "a logoff only asked, then cancelled, did not leave the program as it was"
    fi
    wine "$3" $request || fail "no main window to send $request to"
    ends_opening_page "$request" $((++pages))
done

wine "$folder/uninstall.exe" /S
# The uninstaller goes on from a copy of itself; it removes its registration first, the folder
# last.
within 10 eval '[[ ! -e $folder && ! -e $shortcut ]]' && ! wine reg query "$key" >/dev/null 2>&1 ||
    fail "the silent uninstall left the registration or: $(find "$folder" "$shortcut" 2>&1)"
wineserver -k
