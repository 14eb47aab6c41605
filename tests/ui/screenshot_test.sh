#!/usr/bin/env bash
# The real program under Xvfb: its scope shows a flat line while nothing
# sounds, and the trace of a note once a piano key is held (xdotool); a
# mouse drag shows its bend bar and springs back when the button is let go.
set -euo pipefail
bin=$(realpath "$1")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TAVOLIN_BIN=$bin WORK=$work
source "$(dirname "$(realpath "$0")")/xvfb_program.sh"

in_xvfb '
  start_tavolin "$TAVOLIN_BIN" "$WORK/stderr" || exit 1
  fail() { echo "FAIL: $*"; kill $pid 2>/dev/null; cat "$WORK/stderr"; exit 1; }
  xdotool windowfocus --sync "$win" || true
  sleep 1

  # Green pixels (the trace) in a part of the scope.
  green() { convert "$1" -crop "$2" +repage -fill black +opaque "rgb(0,255,0)" -fill white -opaque "rgb(0,255,0)" \
              -format "%[fx:round(mean*w*h)]" info:; }

  import -window "$win" "$WORK/silent.png"
  flat=$(green "$WORK/silent.png" 508x1+2+128)
  off=$(( $(green "$WORK/silent.png" 508x110+2+16) + $(green "$WORK/silent.png" 508x125+2+130) ))
  echo "silent: $flat green pixels on y 128, $off elsewhere"
  [ "$flat" -ge 500 ] && [ "$off" -eq 0 ] || fail "the scope is not a flat line at y 128 before any note"

  # The upper row'"'"'s E: semitone 16, held while the display refreshes.
  xdotool keydown e
  sleep 0.8
  import -window "$win" "$WORK/note.png"
  xdotool keyup e
  off=$(( $(green "$WORK/note.png" 508x110+2+16) + $(green "$WORK/note.png" 508x125+2+130) ))
  echo "note held: $off green pixels off y 128"
  [ "$off" -ge 200 ] || fail "no note on the scope"

  # A left-button drag 100 pixels up: PitchBend 0.2, a bar 10 pixels high
  # in (12, 255, 12) above y 128, gone once the button is let go.
  xdotool mousemove --window "$win" 300 400 mousedown 1
  sleep 0.1
  xdotool mousemove_relative -- 0 -100
  sleep 0.6
  import -window "$win" "$WORK/bend.png"
  xdotool mouseup 1
  bar=$(convert "$WORK/bend.png" -format "%[pixel:p{586,122}]" info:)
  echo "bend bar: $bar"
  case "$bar" in "srgb(12,255,12)"|"rgb(12,255,12)") ;; *) fail "no bend bar of 0.2 semitone";; esac
  sleep 0.6
  import -window "$win" "$WORK/sprung.png"
  bar=$(convert "$WORK/sprung.png" -format "%[pixel:p{586,122}]" info:)
  case "$bar" in "srgb(0,0,0)"|"rgb(0,0,0)"|black) ;; *) fail "the bend did not spring back ($bar)";; esac

  kill -TERM $pid
  wait $pid || fail "exit code $?"
  echo "PASS"
'
