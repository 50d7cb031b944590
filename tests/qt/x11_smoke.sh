#!/usr/bin/env bash
# The program on a real X server: with a display and no choice made, it opens real windows.
# A copy of it without resources says that the application is not complete; Enter pressed on
# the X server closes that box, and the program ends with exit code 0.
#   x11_smoke.sh <program folder>
# Exits 77 (skipped) where Xvfb or xdotool is missing.
set -euo pipefail

# Inside xvfb-run: starts the program, waits for its window, presses Enter in it.
if [[ ${1:-} == --on-display ]]; then
  unset UPDATER_FRONTEND QT_QPA_PLATFORM WAYLAND_DISPLAY
  "$2" &
  pid=$!
  if ! window=$(timeout 20 xdotool search --sync --onlyvisible --class Updater | head -n 1) || [[ -z $window ]]; then
    echo "x11 smoke: no window appeared" >&2
    kill "$pid"
    exit 1
  fi
  echo "x11 smoke: window $window is up: $(xdotool getwindowgeometry "$window" | tr '\n' ' ')"
  xdotool windowfocus --sync "$window" key Return
  status=0
  wait "$pid" || status=$?
  echo "x11 smoke: the program ended with exit code $status"
  exit "$status"
fi

bin=$1
for tool in xvfb-run xauth xdotool; do
  command -v "$tool" >/dev/null || { echo "x11 smoke: $tool missing, skipped"; exit 77; }
done
# The program finds its plug-ins beside itself and its resources in ../Resources: a folder of
# its own keeps whatever lies beside the build out of the run.
work=$(mktemp -d /tmp/x11-smoke-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cp "$bin/Updater" "$bin/Orvane.so" "$bin/Tessik.so" "$work/bin/"
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$work/bin/Updater"
