#!/usr/bin/env bash
# The bundle as hosts see it: its Turtle valid against the LV2 specification,
# its author, every port listed by lv2info, every factory preset listed by its
# label, and the library exporting lv2_descriptor alone.
set -euo pipefail
bundle=$(realpath "$1")
fail() { echo "FAIL: $*"; exit 1; }

presets=("$bundle"/presets/*.ttl)
lv2_validate "$bundle/manifest.ttl" "$bundle/tavolin.ttl" "$bundle/unison-state.ttl" "${presets[@]}" || fail "the bundle's Turtle is not valid"

info=$(LV2_PATH="$(dirname "$bundle"):/usr/lib/lv2" lv2info urn:tavolin:synth 2>&1)
grep -q "Class: *Instrument" <<<"$info" || fail "not listed as an instrument: $info"
grep -q "Author: *The Tavolin developers" <<<"$info" || fail "no author: $info"
# MIDI in, out, latency, notify; 23 parameters, the pitch bend and shift; ten
# switches; the mode; the note numbering and the compensated timing.
ports=$(grep -c "^[[:space:]]*Port [0-9]*:" <<<"$info")
[ "$ports" = 42 ] || fail "lv2info lists $ports ports, not 42"
for symbol in midi_in out latency notify MasterVol ONLY_CH PitchShift LPFOn mode numbering compensated; do
  grep -q "Symbol: *$symbol\$" <<<"$info" || fail "lv2info lists no port $symbol"
done
grep -q '14 = "14 falling sine"' <<<"$info" || fail "the mode's choices are not named"
grep -q "Has latency: *yes, reported by port 2" <<<"$info" || fail "no latency port"
# The labels follow "Presets:", one a line: a preset whose file is missing
# has none, a file the manifest does not name is not read.
listed=$(awk '/^\tPresets:/ { on = 1; next } on && /^\t  +[^ ]/ { n++; next } on { exit } END { print n + 0 }' <<<"$info")
named=$(grep -c "a pset:Preset" "$bundle/manifest.ttl")
[ "$listed" = "${#presets[@]}" ] && [ "$named" = "${#presets[@]}" ] ||
  fail "lv2info lists $listed presets, the manifest names $named, the bundle has ${#presets[@]} files"

exported=$(nm -D --defined-only "$bundle/tavolin.so" | awk '{print $3}')
[ "$exported" = "lv2_descriptor" ] || fail "the library exports more than lv2_descriptor: $exported"
echo "PASS"
