#!/usr/bin/env bash
# Recording in the real program under Xvfb, playing into a private JACK
# server: Shift+W, a file chosen in the save dialog (xdotool), a note played,
# Shift+W again: the file is a valid WAVE file that holds the note. Then,
# while a JACK client captures the output, a recording with a restart
# (Delete) in the middle: the file holds what was heard, each block once.
# Last, a recording left running when SIGTERM closes the program: its file
# is finished too.
set -euo pipefail
bin=$(realpath "$1")
here=$(dirname "$(realpath "$0")")

work=$(mktemp -d)
trap '[ -s "$work/jackd.pid" ] && kill "$(cat "$work/jackd.pid")" 2>/dev/null; rm -rf "$work"' EXIT
export TAVOLIN_BIN=$bin WORK=$work CHECK="$here/check_recording.py"
export JACK_DEFAULT_SERVER=tavolin-recording-$$ JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
source "$here/xvfb_program.sh"

in_xvfb '
  fail() { echo "FAIL: $*"; xdotool keyup e 2>/dev/null; kill $pid 2>/dev/null; cat "$WORK/stderr"; exit 1; }
  # Synchronous, with a long client timeout: a client made late by a busy
  # machine delays the cycle instead of missing it, so the capture is whole.
  jackd -n "$JACK_DEFAULT_SERVER" --no-realtime --sync --timeout 10000 -d dummy -r 44100 -p 256 \
    >"$WORK/jackd.log" 2>&1 &
  echo $! >"$WORK/jackd.pid"
  pid=""
  jack_wait -w -t 30 >/dev/null 2>&1 || fail "the JACK server did not come up: $(cat "$WORK/jackd.log")"
  start_tavolin "$TAVOLIN_BIN" "$WORK/stderr" --audio jack || exit 1
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

  port() { jack_lsp 2>/dev/null | grep -m1 "^Tavolin:"; }
  wait_until port >/dev/null || fail "the program does not play through JACK"
  # jack_rec writes as it goes; a signal ends it without finishing the file.
  jack_rec -f "$WORK/heard.wav" -d 3600 -b 32 "$(port)" >"$WORK/jack_rec.log" 2>&1 &
  capture=$!
  wait_until test -s "$WORK/heard.wav" || fail "jack_rec did not start: $(cat "$WORK/jack_rec.log")"
  start_recording "$WORK/restart.wav"
  xdotool windowfocus --sync "$win" || true
  xdotool keydown e
  from=$(size "$WORK/restart.wav")
  grown() { [ "$(size "$WORK/restart.wav")" -ge $((from + 131072)) ]; }
  wait_until grown || fail "restart.wav did not grow"
  xdotool key Delete
  from=$(size "$WORK/restart.wav")
  wait_until grown || fail "restart.wav did not grow after the restart"
  xdotool keyup e
  xdotool key shift+w
  compared() { python3 "$CHECK" "$WORK/restart.wav" 1000 "$WORK/heard.wav" >"$WORK/check" 2>&1; }
  wait_until finished "$WORK/restart.wav" || fail "restart.wav: $(cat "$WORK/check")"
  # Two seconds more of capture, so that it holds all that was recorded.
  from=$(size "$WORK/heard.wav")
  captured() { [ "$(size "$WORK/heard.wav")" -ge $((from + 352800)) ]; }
  wait_until captured || fail "the capture stopped growing"
  kill -TERM $capture
  wait $capture || true
  compared || fail "restart.wav against what was heard: $(cat "$WORK/check")"
  echo "with a restart, as heard: $(cat "$WORK/check") (samples, peak, stretches of silence)"

  start_recording "$WORK/left running"
  play_note_into "$WORK/left running"
  kill -TERM $pid
  wait $pid || fail "exit code $?"
  finished "$WORK/left running" || fail "the recording running at SIGTERM: $(cat "$WORK/check")"
  echo "finished at SIGTERM: $(cat "$WORK/check") (samples, peak)"
  echo "PASS"
'
