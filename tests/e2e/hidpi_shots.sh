#!/usr/bin/env bash
# Screenshots of the real vireon window recording the private server's 1 kHz
# tone at device pixel ratios 1 and 2 (QT_SCALE_FACTOR), kept in ARTEFACT_DIR
# as window-ratio-1.png and window-ratio-2.png so that they can be looked at.
# Checks that the window at ratio 2 is the same layout at twice the pixels,
# and that both pictures show the bars lit.
#
# Needs what e2e_tone.sh needs. usage: hidpi_shots.sh VIREON ARTEFACT_DIR
# (exit 77: skipped; under CI=true whatever would skip fails instead)
set -euo pipefail

vireon=${1:?path to the vireon program}
artefacts=${2:?folder for the screenshots}
here=$(cd "$(dirname "$0")" && pwd)

. "$here/common.sh"
need_e2e Xvfb xdotool /usr/bin/import /usr/bin/convert

work=$(mktemp -d /tmp/vireon-hidpi.XXXXXX)
xvfb_pid="" app_pid=""
finish() {
  local status=$?
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ "$status" -ne 0 ] && cp -f "$work"/*.log "$artefacts"/ 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT
mkdir -p "$artefacts"

start_xvfb 2560 2048
export QT_QPA_PLATFORM=xcb

# Starts vireon at the ratio, presses Start, shoots its window; prints the
# window's size in device pixels.
shoot_at_ratio() {
  local ratio=$1 window="" shot="$artefacts/window-ratio-$1.png"
  export XDG_CONFIG_HOME="$work/config-$ratio"
  mkdir -p "$XDG_CONFIG_HOME"
  QT_SCALE_FACTOR=$ratio "$vireon" >"$work/vireon-$ratio.log" 2>&1 &
  app_pid=$!
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name '^\(Orlindt\) - Vireon$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "the window did not appear at ratio $ratio" >&2; return 1; }
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # Start sits at (65, 329) in logical pixels, as in e2e_tone.sh.
  xdotool mousemove "$((X + 65 * ratio))" "$((Y + 329 * ratio))" click 1
  sleep 4
  import -window "$window" "$shot"
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
  echo "$WIDTH $HEIGHT"
}

read -r w1 h1 < <(shoot_at_ratio 1)
read -r w2 h2 < <(shoot_at_ratio 2)
echo "ratio 1: ${w1}x${h1}, ratio 2: ${w2}x${h2}; pictures in $artefacts"
[ "$w2" -eq $((2 * w1)) ] && [ "$h2" -eq $((2 * h1)) ] ||
  { echo "at ratio 2 the window is not the same layout at twice the pixels"; exit 1; }

# The 1 kHz bars stand lit in both: somewhere in the picture the bright
# yellow-green of a lit bar's middle rows.
for ratio in 1 2; do
  lit=$(convert "$artefacts/window-ratio-$ratio.png" -fx '(g>0.3 && b<0.1) ? 1 : 0' \
          -format '%[fx:mean*w*h]' info:)
  echo "ratio $ratio: $lit lit-bar pixels"
  awk -v n="$lit" -v r="$ratio" 'BEGIN { exit !(n > 200 * r * r) }' ||
    { echo "no lit bars at ratio $ratio"; exit 1; }
done
echo PASS
