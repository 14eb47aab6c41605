# Shared by the scripts that drive the real program under Xvfb; source it.

XVFB_PROGRAM_LIB=$(realpath "${BASH_SOURCE[0]}")
export XVFB_PROGRAM_LIB

# in_xvfb COMMANDS: runs bash COMMANDS inside a fresh virtual X server, with
# this file sourced. The display number is random because two `xvfb-run -a`
# started at the same moment can pick the same one.
in_xvfb() {
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1600x1000x24" \
    bash -c "set -u; unset QT_QPA_PLATFORM; source \"\$XVFB_PROGRAM_LIB\"; $1"
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
