#!/usr/bin/env bash
# The real program under Xvfb: its scope shows a flat line while nothing
# sounds, and the trace of a note once a piano key is held (xdotool); a
# mouse drag shows its bend bar and springs back when the button is let go.
# On failure the last picture and the program's stderr are kept in
# screenshot_test.failed/ of the folder it runs in.
set -euo pipefail
bin=$(realpath "$1")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
keep=$PWD/screenshot_test.failed
rm -rf "$keep"
export TAVOLIN_BIN=$bin WORK=$work KEEP=$keep
source "$(dirname "$(realpath "$0")")/xvfb_program.sh"

in_xvfb '
  start_tavolin "$TAVOLIN_BIN" "$WORK/stderr" || exit 1
  fail() {
    echo "FAIL: $*"
    kill $pid 2>/dev/null
    cat "$WORK/stderr"
    mkdir -p "$KEEP" && cp "$WORK/stderr" "$KEEP/" && cp "$WORK/shot.png" "$KEEP/" 2>/dev/null
    echo "kept in $KEEP"
    exit 1
  }
  xdotool windowfocus --sync "$win" || true

  # Each picture is taken again until it shows what it must, for a while:
  # a busy machine paints late.
  green() { convert "$1" -crop "$2" +repage -fill black +opaque "rgb(0,255,0)" -fill white -opaque "rgb(0,255,0)" \
              -format "%[fx:round(mean*w*h)]" info:; }
  trace_off_centre() {
    import -window "$win" "$WORK/shot.png"
    off=$(( $(green "$WORK/shot.png" 508x110+2+16) + $(green "$WORK/shot.png" 508x125+2+130) ))
  }
  flat_line() {
    trace_off_centre
    flat=$(green "$WORK/shot.png" 508x1+2+128)
    [ "$flat" -ge 500 ] && [ "$off" -eq 0 ]
  }
  note_shown() { trace_off_centre; [ "$off" -ge 200 ]; }
  left_button_shown() {  # the status line'"'"'s "L"
    import -window "$win" "$WORK/shot.png"
    [ "$(convert "$WORK/shot.png" -crop 10x10+0+619 -threshold 50% -format "%[fx:round(mean*w*h)]" info:)" -gt 0 ]
  }
  bar_colour() {  # any of the names of one colour
    import -window "$win" "$WORK/shot.png"
    bar=$(convert "$WORK/shot.png" -format "%[pixel:p{586,122}]" info:)
    for name in "$@"; do [ "$bar" = "$name" ] && return 0; done
    return 1
  }

  wait_until flat_line || fail "the scope is not a flat line at y 128 before any note ($flat on it, $off off it)"
  echo "silent: a flat line at y 128"

  # The upper row'"'"'s E: semitone 16, held while the display refreshes.
  xdotool keydown e
  wait_until note_shown || { xdotool keyup e; fail "no note on the scope"; }
  xdotool keyup e
  echo "note held: $off green pixels off y 128"

  # A left-button drag 100 pixels up: PitchBend 0.2, a bar 10 pixels high
  # in (12, 255, 12) above y 128, gone once the button is let go. The drag
  # measures from where the cursor is when the window takes the press, which
  # a busy machine does late: the cursor moves once the "L" shows.
  xdotool mousemove --window "$win" 300 400 mousedown 1
  wait_until left_button_shown || { xdotool mouseup 1; fail "the left button is not shown as held"; }
  xdotool mousemove_relative -- 0 -100
  wait_until bar_colour "srgb(12,255,12)" "rgb(12,255,12)" || { xdotool mouseup 1; fail "no bend bar of 0.2 semitone ($bar)"; }
  xdotool mouseup 1
  echo "bend bar: $bar"
  wait_until bar_colour "srgb(0,0,0)" "rgb(0,0,0)" black || fail "the bend did not spring back ($bar)"

  kill -TERM $pid
  wait $pid || fail "exit code $?"
  echo "PASS"
'
