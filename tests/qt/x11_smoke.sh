#!/usr/bin/env bash
# The program on a real X server, as a user runs it: with a display and no choice made, it
# opens real windows. A copy of it with the demo resources finds the simulated device, shows
# its main window, is started with a click on Start, and tells the user the update is
# installed; Enter closes that message and the program ends with exit code 0, with the demo
# firmware in the device's memory.
#   x11_smoke.sh <build folder>
# Exits 77 (skipped) where Xvfb or xdotool is missing.
set -euo pipefail

# Waits up to $1 seconds for a visible window of the program other than those listed after
# it, whose content is $2 pixels wide (any width: 0); prints its id.
wait_for_window() {
  local seconds=$1 width=$2
  shift 2
  local deadline=$((SECONDS + seconds)) id
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --onlyvisible --class Updater 2>/dev/null); do
      [[ " $* " == *" $id "* ]] && continue
      # A window may be gone again by now (the search dialog closes as the main window opens).
      local geometry
      geometry=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null) || continue
      eval "$geometry"
      if ((width == 0 || WIDTH == width)); then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# What a failed wait saw: whether the program still runs, and every window of it.
show_state() {
  if kill -0 "$pid" 2>/dev/null; then
    echo "x11 smoke: the program is still running"
  else
    local status=0
    wait "$pid" || status=$?
    echo "x11 smoke: the program has ended with exit code $status"
  fi
  local id
  for id in $(xdotool search --class Updater 2>/dev/null); do
    echo "x11 smoke: window $id \"$(xdotool getwindowname "$id" 2>/dev/null)\"" \
      "$(xdotool getwindowgeometry "$id" 2>/dev/null | tr '\n' ' ')"
  done
}

# Inside xvfb-run: the user's part.
if [[ ${1:-} == --on-display ]]; then
  unset UPDATER_FRONTEND QT_QPA_PLATFORM WAYLAND_DISPLAY
  "$2" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  main=$(wait_for_window 30 640) || {
    echo "x11 smoke: the main window did not appear" >&2
    show_state >&2
    exit 1
  }
  eval "$(xdotool getwindowgeometry --shell "$main")"
  echo "x11 smoke: main window $main is up, ${WIDTH}x${HEIGHT} (the content 640x200 below the menu bar)"
  # Start: 96 x 20 at 416, 160 of the content, which lies at the bottom of the window.
  xdotool mousemove --window "$main" $((416 + 48)) $((HEIGHT - 200 + 170)) click 1
  box=$(wait_for_window 60 0 "$main") || {
    echo "x11 smoke: no final message" >&2
    show_state >&2
    exit 1
  }
  echo "x11 smoke: message $box is up; pressing Enter"
  xdotool windowfocus --sync "$box" key Return
  status=0
  wait "$pid" || status=$?
  trap - EXIT
  echo "x11 smoke: the program ended with exit code $status"
  exit "$status"
fi

build=$1
for tool in xvfb-run xauth xdotool; do
  command -v "$tool" >/dev/null || { echo "x11 smoke: $tool missing, skipped"; exit 77; }
done
# The program finds its plug-ins beside itself and its resources in ../Resources.
work=$(mktemp -d /tmp/x11-smoke-XXXXXX)
mkdir "$work/bin" "$work/hid"
cp "$build/bin/Updater" "$build/bin/Orvane.so" "$build/bin/Tessik.so" "$work/bin/"
cp -r "$build/Resources" "$work/Resources"
export UPDATER_VIRTUAL_HID_DIR="$work/hid"
coproc SIMULATOR { exec "$build/bin/devsim" --name demo --vid 0x1234 --pid 0x5678 --memory "$work/memory.txt"; }
simulator=$SIMULATOR_PID
stop_simulator() {
  kill "$simulator" 2>/dev/null || true
  wait "$simulator" 2>/dev/null || true
}
trap 'stop_simulator; rm -rf "$work"' EXIT
read -r -t 10 ready <&"${SIMULATOR[0]}" && [[ $ready == READY* ]] || { echo "x11 smoke: no simulator" >&2; exit 1; }
# xvfb-run -a takes the first free display from where it starts looking; two runs that look
# at the same moment (tests of several builds at once) would take the same one. A random
# start keeps them apart. -noreset: an X server resets when its last client leaves, and a
# client that connects meanwhile is refused; each xdotool call that looks for the windows is
# such a client, and the program's own first connection failed now and then ("could not
# connect to display").
status=0
timeout 120 xvfb-run -a -n $((100 + RANDOM % 30000)) -e "$work/xvfb.log" -s "-screen 0 1024x768x24 -noreset" \
  "$0" --on-display "$work/bin/Updater" || status=$?
if ((status != 0)); then
  echo "x11 smoke: the X server said:" >&2
  cat "$work/xvfb.log" >&2
  exit "$status"
fi

# The simulator saves its memory as it stops: the demo firmware's two regions, in order.
stop_simulator
hex_of() { od -An -tx1 -v "$@" | tr -d ' \n'; }
if [[ $(grep -v '^REGION' "$work/memory.txt" | tr -d '\n' | tr 'A-F' 'a-f') != \
      $(hex_of "$build/tools/demo/code.bin" "$build/tools/demo/config.bin") ]]; then
  echo "x11 smoke: the device does not hold the demo firmware" >&2
  exit 1
fi
echo "x11 smoke: the device holds the demo firmware"
