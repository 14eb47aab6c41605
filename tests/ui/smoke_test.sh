#!/usr/bin/env bash
# Starts the real program: first without a display (it must say what is
# missing), then under Xvfb (its window must appear at full size, its threads
# must carry their names, and SIGTERM must close it in order with exit code 0,
# also while an error box waits for the user).
set -euo pipefail
bin=$(realpath "$1")

if out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin" 2>&1); then
  echo "FAIL: started without a display"; exit 1
fi
grep -q "no display found" <<<"$out" || { echo "FAIL: unclear message without display: $out"; exit 1; }
grep -q "xvfb-run" <<<"$out" || { echo "FAIL: no hint how to run under Xvfb"; exit 1; }

source "$(dirname "$(realpath "$0")")/xvfb_program.sh"
export TAVOLIN_BIN=$bin
export TMPDIR_SMOKE=$(mktemp -d)
trap 'rm -rf "$TMPDIR_SMOKE"' EXIT
in_xvfb '
  start_tavolin "$TAVOLIN_BIN" "$TMPDIR_SMOKE/stderr" || exit 1
  geometry=$(xdotool getwindowgeometry "$win" | sed -n "s/.*Geometry: //p")
  echo "window $win geometry $geometry"
  [ "$geometry" = "1140x708" ] || { echo "FAIL: client area is $geometry"; kill $pid; exit 1; }
  threads=$(cat /proc/$pid/task/*/comm | tr "\n" " ")
  echo "threads: $threads"
  for name in Main MIDI WFill; do
    grep -qw "$name" <<<"$threads" || { echo "FAIL: no thread named $name"; kill $pid; exit 1; }
  done
  sleep 0.5
  kill -TERM $pid
  if wait $pid; then echo "exit 0"; else code=$?; echo "FAIL: exit code $code"; cat "$TMPDIR_SMOKE/stderr"; exit 1; fi
  cat "$TMPDIR_SMOKE/stderr"
'

printf 'MThd broken' >"$TMPDIR_SMOKE/broken.mid"
in_xvfb '
  start_tavolin "$TAVOLIN_BIN" "$TMPDIR_SMOKE/stderr" --audio null "$TMPDIR_SMOKE/broken.mid" || exit 1
  wait_until xdotool search --name "^Error\$" >/dev/null || { echo "FAIL: no error box"; kill $pid; exit 1; }
  kill -TERM $pid
  for _ in $(seq 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "FAIL: the error box kept it running"; kill -KILL $pid; exit 1; fi
  if wait $pid; then echo "exit 0 with the error box open"; else echo "FAIL: exit code $?"; exit 1; fi
'
