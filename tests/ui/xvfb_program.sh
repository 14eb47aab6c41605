# Shared by the scripts that drive the real program under Xvfb; source it.

XVFB_PROGRAM_LIB=$(realpath "${BASH_SOURCE[0]}")
export XVFB_PROGRAM_LIB

# start_xvfb DIR: starts a virtual X server on a display it picks itself
# (-displayfd: two servers started at the same moment never share one, as
# they can with `xvfb-run -a`), points DISPLAY at it and sets xvfb_pid. Its
# display number and log go to DIR. -noreset: by default the server resets
# when its last client leaves, and refuses whoever connects meanwhile (the
# program, right after a probe of ours had left).
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset 3>"$1/display" 2>"$1/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 300); do
    [ -s "$1/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$1/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$1/xvfb.log")"; return 1; }
  export DISPLAY=:$(head -1 "$1/display")
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  # It has said it is ready; a client must get through too before the test
  # counts on it.
  for _ in $(seq 300); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "FAIL: Xvfb at $DISPLAY does not answer: $(cat "$1/xvfb.log")"
  return 1
}

# in_xvfb COMMANDS: runs bash COMMANDS inside a fresh virtual X server, with
# this file sourced; the server ends with them.
in_xvfb() {
  local dir status=0
  dir=$(mktemp -d)
  if start_xvfb "$dir"; then
    bash -c "set -u; source \"\$XVFB_PROGRAM_LIB\"; $1" || status=$?
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null || true
  else
    status=1
  fi
  rm -rf "$dir"
  return "$status"
}

# start_tavolin BINARY STDERR_FILE [ARGS...]: starts the program (with ARGS) in the background and
# waits for its main window (30 s at most: a loaded machine starts it
# slowly); sets pid and win. Fails (showing its stderr) when the window does
# not appear.
start_tavolin() {
  "$1" "${@:3}" 2>"$2" &
  pid=$!
  win=""
  for _ in $(seq 600); do
    win=$(xdotool search --name "^Tavolin - Tavo/the synthesizer test\$" 2>/dev/null | head -1 || true)
    [ -n "$win" ] && return 0
    sleep 0.05
  done
  echo "FAIL: main window did not appear"
  kill "$pid" 2>/dev/null
  cat "$2"
  return 1
}

# wait_until COMMAND...: runs COMMAND every 0.1 s until it succeeds, for
# 30 s at most (a loaded machine paints late); fails when it never does.
wait_until() {
  for _ in $(seq 300); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
