#!/usr/bin/env bash
# Installs the Debian package, checks that its files are in place and its metadata is valid,
# then starts the installed program on a virtual X server and ends it through its Exit button's
# access key. The exit opens the maker's web page: xdg-open is a recorder here, and the program
# runs in a network namespace of its own. Run as root. Usage: tools/check-package.sh FILE.deb
set -euo pipefail
deb=$(realpath "$1")
url=https://www.korvane.example/sockview

if [[ ${SOCKVIEW_IN_NAMESPACE:-} != 1 ]]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall "$deb" >/dev/null
  for file in /usr/bin/korvane-sockview \
      /usr/share/applications/korvane-sockview.desktop \
      /usr/share/metainfo/example.korvane.Sockview.metainfo.xml \
      /usr/share/icons/hicolor/scalable/apps/korvane-sockview.svg \
      /usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/korvane-sockview.png; do
    [[ -s $file ]] || { echo "FAIL: $file is not installed"; exit 1; }
  done
  desktop-file-validate /usr/share/applications/korvane-sockview.desktop
  appstreamcli validate --no-net /usr/share/metainfo/example.korvane.Sockview.metainfo.xml
  SOCKVIEW_IN_NAMESPACE=1 exec unshare --net "$0" "$@"
fi

ip link set lo up
work=$(mktemp -d)
xvfb=
program=
cleanup() {
  [[ -n $program ]] && kill "$program" 2>/dev/null
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

PATH="$work/bin:$PATH" /usr/bin/korvane-sockview >"$work/log" 2>&1 &
program=$!
window=$(timeout 30 xdotool search --sync --name "Korvane Sockview" | head -n 1) ||
  { echo "FAIL: the main window did not appear"; cat "$work/log"; exit 1; }
xdotool windowfocus --sync "$window" key alt+e
status=0
timeout 30 tail --pid="$program" -f /dev/null || { echo "FAIL: Alt+E did not end the program"; exit 1; }
wait "$program" || status=$?
program=
[[ $status == 0 ]] || { echo "FAIL: the program exited with status $status"; cat "$work/log"; exit 1; }
[[ $(cat "$work/opened" 2>/dev/null) == "$url" ]] ||
  { echo "FAIL: the exit opened '$(cat "$work/opened" 2>/dev/null)', not $url once"; exit 1; }
echo "package check passed: installed files, metadata, window shown, exit opened $url"
