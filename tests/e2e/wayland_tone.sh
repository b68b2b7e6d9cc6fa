#!/usr/bin/env bash
# The real vireon program as a native Wayland client of a headless weston,
# recording the private server's 1 kHz tone (`vireon --start`, since nothing
# can click on a headless compositor).
#
# - The screenshot (weston-screenshooter; kept in ARTEFACT_DIR as
#   wayland-screen.png) shows the bars and the strip lit at 1 kHz.
# - Once weston blanks its screen for want of input it stops sending frame
#   callbacks, which is all a Wayland client learns of being minimised or
#   hidden. From then on the program commits no more pictures: counted in
#   its own protocol log (WAYLAND_DEBUG), against the rate while it was seen.
# - On SIGTERM it saves its size, but no position: a Wayland client is never
#   told where its window is.
#
# usage: wayland_tone.sh VIREON ARTEFACT_DIR    (exit 77: skipped; under
# CI=true whatever would skip fails instead)
set -euo pipefail

vireon=${1:?path to the vireon program}
artefacts=${2:?folder for the screenshot}
here=$(cd "$(dirname "$0")" && pwd)

. "$here/common.sh"
need_e2e weston weston-screenshooter /usr/bin/convert python3

work=$(mktemp -d /tmp/vireon-wayland.XXXXXX)
weston_pid="" app_pid=""
finish() {
  local status=$?
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null || true
  if [ "$status" -ne 0 ]; then
    cp -f "$work"/*.log "$artefacts"/ 2>/dev/null || true
    echo "FAILED: screenshot and logs kept in $artefacts"
  fi
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT
mkdir -p "$artefacts"

# The sound server keeps the runtime folder it was started with: it is
# reached by PULSE_SERVER. The compositor gets one of its own.
screen_w=1280 screen_h=1024 idle_s=20
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --use-pixman --debug --socket=vireon-test \
  --width="$screen_w" --height="$screen_h" --idle-time="$idle_s" >"$work/weston.log" 2>&1 &
weston_pid=$!
weston_started=$(date +%s.%N)
for _ in $(seq 100); do
  [ -S "$XDG_RUNTIME_DIR/vireon-test" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$work/weston.log"; exit 1; }
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/vireon-test" ] || { echo "weston did not start"; exit 1; }

export WAYLAND_DISPLAY=vireon-test QT_QPA_PLATFORM=wayland XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
WAYLAND_DEBUG=client "$vireon" --start >"$work/vireon.log" 2>"$work/protocol.log" &
app_pid=$!

# Surface commits so far, from the protocol log.
commits() { grep -c 'wl_surface@[0-9]*\.commit(' "$work/protocol.log" || true; }
# Commits per second over the next SECONDS.
commit_rate() {
  local before after
  before=$(commits)
  sleep "$1"
  after=$(commits)
  python3 -c "print(f'{($after - $before) / $1:.1f}')"
}

for _ in $(seq 100); do
  grep -q 'wl_surface@[0-9]*\.commit(' "$work/protocol.log" 2>/dev/null && break
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/vireon.log"; exit 1; }
  sleep 0.1
done
sleep 4
seen_rate=$(commit_rate 3)

# weston-screenshooter writes wayland-screenshot-<time>.png in the folder it runs in.
(cd "$work" && weston-screenshooter)
python3 -c "import sys,time; sys.exit(time.time() > $weston_started + $idle_s - 1)" ||
  { echo "vireon started too slowly: the screen blanked before the screenshot"; exit 1; }
shot=$(ls "$work"/wayland-screenshot-*.png | head -n1)
cp -f "$shot" "$artefacts/wayland-screen.png"
/usr/bin/convert "$shot" -depth 8 "rgb:$work/shot.rgb"
python3 "$here/check_spectrum.py" "$work/shot.rgb" "$screen_w" "$screen_h"

# The screen blanks idle_s after weston started; the fade takes about a second.
blank_at=$(python3 -c "print($weston_started + $idle_s + 2)")
while python3 -c "import sys,time; sys.exit(time.time() >= $blank_at)"; do sleep 0.2; done
sleep 1
hidden_rate=$(commit_rate 4)
echo "commits per second: $seen_rate seen, $hidden_rate with the screen blank"
python3 -c "import sys; sys.exit(not ($seen_rate >= 5 and $hidden_rate <= 0.5))" ||
  { echo "want at least 5 commits a second seen, at most 0.5 hidden"; exit 1; }

end_and_show_settings
for name in Width Height; do
  grep -Eq "^$name=[0-9]+$" "$settings" || { echo "settings lack the window's $name"; exit 1; }
done
if grep -Eq '^(Top|Left)=' "$settings"; then
  echo "a position was saved that Wayland never gave"
  exit 1
fi
echo "PASS"
