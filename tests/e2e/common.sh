# Sourced by the end-to-end scripts.
#
# need_e2e TOOL...: the private sound server and the tools must be there,
# or the script skips (exit 77); under CI=true whatever would skip fails
# instead, since there it means a broken set-up.
skip() {
  if [ "${CI:-}" = true ]; then echo "FAILED (CI=true, so no skip): $*"; exit 1; fi
  echo "SKIP: $*"; exit 77
}
need_e2e() {
  [ -n "${VIREON_TEST_PULSE:-}" ] || skip "no private sound server (scripts/test starts one)"
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
}

# start_xvfb WIDTH HEIGHT starts Xvfb on
# a display number nobody holds, exports DISPLAY and sets xvfb_pid, and waits
# until it answers. A number taken between the look and the start makes Xvfb
# exit: the next one is tried. -noreset keeps the server as it is when its
# last client leaves, so a client connecting just then is not refused.
start_xvfb() {
  local n width=$1 height=$2
  for n in $(seq 90 190); do
    [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] || continue
    Xvfb ":$n" -screen 0 "${width}x${height}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 300); do
      xdotool getmouselocation >/dev/null 2>&1 && return 0
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then
      echo "Xvfb on :$n did not answer in 30 s"
      return 1
    fi
    echo "Xvfb on :$n ended:"; cat "$work/xvfb.log"
    xvfb_pid=""
  done
  echo "no free X display"
  return 1
}

# end_and_show_settings ends the program (app_pid) with SIGTERM, which must
# close it cleanly within ten seconds, then prints the settings file it saved
# and sets settings to its path.
end_and_show_settings() {
  kill -TERM "$app_pid"
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then echo "vireon did not end on SIGTERM"; exit 1; fi
  wait "$app_pid" || { echo "vireon exited with status $?"; cat "$work/vireon.log"; exit 1; }
  app_pid=""
  settings="$XDG_CONFIG_HOME/Orlindt/Vireon.conf"
  [ -f "$settings" ] || { echo "no settings file at $settings"; exit 1; }
  cat "$settings"
}
