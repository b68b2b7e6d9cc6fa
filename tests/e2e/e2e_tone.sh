#!/usr/bin/env bash
# Records a 1 kHz tone with the real vireon program and checks the screen.
#
# Needs the private server of scripts/pulse-test-server or
# scripts/pipewire-test-server (its default source carries a steady 1 kHz
# tone; scripts/test starts it and exports PULSE_SERVER and VIREON_TEST_PULSE,
# so a user's own server is never used),
# Xvfb, xdotool, xwd, ImageMagick's convert and python3.
# Starts vireon on a free X display with an empty settings folder, clicks
# Start, waits, takes a screenshot and checks that the bars around 1 kHz stand
# high, the bars far from it low, and that the spectrogram strip shows a bright
# row at that band. Then stops, opens Options > Settings... with the keyboard,
# picks the TestMic device and "48000hz 16bit Stereo", presses Ok and Start,
# checks that the server records TestMic at 48000 Hz for Vireon and that the
# bars still peak at 1 kHz. Then sends SIGTERM and checks that the settings
# file holds the nine values, the device being the one picked. On failure the
# screenshots and the logs are copied to ARTEFACT_DIR.
#
# usage: e2e_tone.sh VIREON ARTEFACT_DIR    (exit 77: skipped; under CI=true
# whatever would skip fails instead, since there it means a broken set-up)
set -euo pipefail

vireon=${1:?path to the vireon program}
artefacts=${2:?folder for the screenshot of a failed run}
here=$(cd "$(dirname "$0")" && pwd)

. "$here/common.sh"
need_e2e Xvfb xdotool xwd /usr/bin/convert python3 pactl

work=$(mktemp -d /tmp/vireon-e2e.XXXXXX)
xvfb_pid="" app_pid=""
finish() {
  local status=$?
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if [ "$status" -ne 0 ]; then
    mkdir -p "$artefacts"
    cp -f "$work"/*.png "$work"/*.log "$artefacts"/ 2>/dev/null || true
    echo "FAILED: screenshot and logs kept in $artefacts"
  fi
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT

screen_w=1280 screen_h=1024
start_xvfb "$screen_w" "$screen_h"

export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME"
"$vireon" >"$work/vireon.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name '^\(Orlindt\) - Vireon$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the vireon window did not appear"; cat "$work/vireon.log"; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window at ${X},${Y} size ${WIDTH}x${HEIGHT}"

# btnStart is the last control of the 121 px column on the "Real Time" page,
# whose 335 px page control starts below the menu bar (about 19 px high).
click_start() { xdotool mousemove "$((X + 65))" "$((Y + 329))" click 1; }
click_start
sleep 4

shoot() {
  xwd -root -silent >"$work/shot.xwd"
  /usr/bin/convert "$work/shot.xwd" "$work/$1.png"
  /usr/bin/convert "$work/shot.xwd" -depth 8 "rgb:$work/shot.rgb"
}
shoot screen
python3 "$here/check_spectrum.py" "$work/shot.rgb" "$screen_w" "$screen_h"

# Waits up to five seconds for a window of that exact name to be shown (or,
# with "gone", to go away).
wait_window() {
  local name=$1 want=${2:-shown}
  for _ in $(seq 50); do
    if xdotool search --onlyvisible --name "^$name\$" >/dev/null 2>&1; then
      [ "$want" = shown ] && return 0
    else
      [ "$want" = gone ] && return 0
    fi
    sleep 0.1
  done
  echo "window \"$name\" was not $want in time"
  shoot failed-$want
  return 1
}
key() { xdotool key "$1"; sleep 0.4; }
# Menus and drop-down lists are windows of their own: counting the program's
# visible windows tells when one is open, so no key goes out before it is.
visible_windows() { xdotool search --onlyvisible --class vireon 2>/dev/null | wc -l; }
wait_windows() {
  for _ in $(seq 50); do
    [ "$(visible_windows)" -eq "$1" ] && return 0
    sleep 0.1
  done
  echo "the program shows $(visible_windows) windows, not $1"
  return 1
}

# Options > Settings...: the File menu sits at the left end of the menu bar;
# Right opens Options with its first item active. A click that a busy machine
# loses is tried again; a menu that never opens the dialog fails all three.
open_settings() {
  local attempt
  for attempt in 1 2 3; do
    xdotool mousemove "$((X + 20))" "$((Y + 9))" click 1
    if wait_windows 2; then
      key Right
      if wait_windows 2; then
        key Return
        wait_window "Sample Setup" && return 0
      fi
    fi
    echo "attempt $attempt: Settings... did not open"
    xdotool key Escape; sleep 0.3; xdotool key Escape; sleep 0.3
    wait_windows 1 || true
  done
  return 1
}

click_start   # Stop
sleep 1
open_settings
# The device box has the focus: open its list, find TestMic by typing, take it;
# then the format list below it, one row down to 48 kHz; Enter is Ok.
key F4
wait_windows 3
xdotool type --delay 80 TestMic
sleep 0.4
key Return
wait_windows 2
key Tab
key Down
key Return
wait_window "Sample Setup" gone
click_start
sleep 4

# The server must be recording TestMic for Vireon, at 48 kHz.
testmic=$(pactl list short sources | awk '$2 == "testmic" { print $1 }')
pactl -f json list source-outputs >"$work/source-outputs.json"
python3 - "$work/source-outputs.json" "$testmic" <<'PY'
import json, sys
outputs, testmic = json.load(open(sys.argv[1])), int(sys.argv[2])
for output in outputs:
    if output["properties"].get("application.name") == "Vireon":
        rate = output["sample_specification"].split()[-1]
        print("Vireon records source", output["source"], "at", rate)
        sys.exit(0 if output["source"] == testmic and rate == "48000Hz" else 1)
sys.exit("Vireon records nothing")
PY
shoot screen-48k
python3 "$here/check_spectrum.py" "$work/shot.rgb" "$screen_w" "$screen_h"

end_and_show_settings
for name in Device FFTWindow FFTSize FadeSpeed PeakSpeed Top Left Width Height; do
  grep -Eq "^$name=-?[0-9]+$" "$settings" || { echo "settings lack an integer $name"; exit 1; }
done
# A device picked in the dialog, not the default (-1).
grep -Eq "^Device=[0-9]+$" "$settings" || { echo "the device picked in Settings was not kept"; exit 1; }
echo "PASS"
