#!/usr/bin/env bash
# Takes the README's screenshot (docs/screenshot.png) from the real program
# under Xvfb: a song loaded through F9 and playing, a chord held on the
# computer keyboard, detune switched on, and Shift held on the selected row.
#   tests/ui/take_screenshot.sh build/release/app/tavolin docs/screenshot.png
set -euo pipefail
bin=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Half a minute of slow arpeggios over four octaves on three channels.
PYTHONPATH="$here/../midi" python3 - "$work/demo.mid" <<'PY'
import sys
from smf_writer import song, tempo
events = [(0, tempo(500000))]
for bar in range(32):
    for step in range(8):
        tick = bar * 960 + step * 120
        for channel, base in ((0, 48), (1, 60), (2, 72)):
            key = base + (0, 4, 7, 12, 7, 4, 0, -5)[step] + (bar % 4) * 2
            events.append((tick, bytes([0x90 | channel, key, 70 + 20 * channel])))
            events.append((tick + 200 + 60 * channel, bytes([0x80 | channel, key, 0])))
events.sort(key=lambda e: e[0])
open(sys.argv[1], "wb").write(song(0, 480, [events]))
PY

export TAVOLIN_BIN=$bin WORK=$work OUT=$out
source "$here/xvfb_program.sh"
in_xvfb '
  start_tavolin "$TAVOLIN_BIN" "$WORK/stderr" || exit 1
  xdotool windowfocus --sync "$win"; sleep 0.5
  xdotool key F9; sleep 1.5
  xdotool type --delay 20 "$WORK/demo.mid"; xdotool key Return; sleep 3
  xdotool windowfocus --sync "$win"; sleep 0.3
  xdotool key shift+d shift+Right shift+Right shift+Right shift+Right
  xdotool keydown z keydown c keydown b; sleep 0.4
  xdotool mousemove --window "$win" 300 400 mousedown 1 mousemove_relative -- 0 -60; sleep 0.2
  xdotool mousemove_relative -- 0 -40; sleep 0.2
  xdotool keydown shift; sleep 0.5
  import -window "$win" "$OUT"
  xdotool keyup shift mouseup 1 keyup b keyup c keyup z
  kill -TERM $pid; wait $pid || true
'
echo "wrote $out"
