#!/usr/bin/env bash
# Recording in the real program under Xvfb: Shift+W, a file chosen in the
# save dialog (xdotool), a note played, Shift+W again: the file is a valid
# WAVE file that holds the note. Then a recording left running when SIGTERM
# closes the program: its file is finished too.
set -euo pipefail
bin=$(realpath "$1")
here=$(dirname "$(realpath "$0")")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TAVOLIN_BIN=$bin WORK=$work CHECK="$here/check_recording.py"
source "$here/xvfb_program.sh"

in_xvfb '
  start_tavolin "$TAVOLIN_BIN" "$WORK/stderr" || exit 1
  fail() { echo "FAIL: $*"; xdotool keyup e 2>/dev/null; kill $pid 2>/dev/null; cat "$WORK/stderr"; exit 1; }
  size() { stat -c %s "$1" 2>/dev/null || echo 0; }
  dialog() { xdotool search --name "^Save WAVE file for RecordingOutput" 2>/dev/null | head -1; }
  dialog_open() { [ -n "$(dialog)" ]; }
  dialog_gone() { [ -z "$(dialog)" ]; }
  # Shift+W, then the file name typed into the save dialog. Keys do nothing
  # until the engine runs, so Shift+W is pressed again until the dialog comes.
  shift_w_opens_dialog() {
    xdotool windowfocus --sync "$win" || true
    xdotool key shift+w
    for _ in $(seq 20); do dialog_open && return 0; sleep 0.1; done
    return 1
  }
  start_recording() {
    wait_until shift_w_opens_dialog || fail "no save dialog after Shift+W"
    xdotool windowfocus --sync "$(dialog)" || true
    xdotool key ctrl+a  # a repeated Shift+W may have typed into the name field
    xdotool type --delay 10 "$1"
    xdotool key Return
    wait_until dialog_gone || fail "the save dialog did not close"
    wait_until test -s "$1" || fail "no file $1"
  }
  # Holds a note until the file has grown by two writes of the recorder.
  play_note_into() {
    local from; from=$(size "$1")
    xdotool windowfocus --sync "$win" || true
    xdotool keydown e
    grown() { [ "$(size "$1")" -ge $((from + 131072)) ]; }
    wait_until grown "$1" || fail "$1 did not grow while recording"
    xdotool keyup e
  }
  finished() { python3 "$CHECK" "$1" 1000 >"$WORK/check" 2>&1; }

  start_recording "$WORK/take.wav"
  play_note_into "$WORK/take.wav"
  xdotool key shift+w
  wait_until finished "$WORK/take.wav" || fail "take.wav: $(cat "$WORK/check")"
  echo "stopped by Shift+W: $(cat "$WORK/check") (samples, peak)"

  start_recording "$WORK/left running"
  play_note_into "$WORK/left running"
  kill -TERM $pid
  wait $pid || fail "exit code $?"
  finished "$WORK/left running" || fail "the recording running at SIGTERM: $(cat "$WORK/check")"
  echo "finished at SIGTERM: $(cat "$WORK/check") (samples, peak)"
  echo "PASS"
'
