#!/usr/bin/env bash
# The bundle as hosts see it: its Turtle valid against the LV2 specification,
# every port listed by lv2info, and the library exporting lv2_descriptor alone.
set -euo pipefail
bundle=$(realpath "$1")
fail() { echo "FAIL: $*"; exit 1; }

lv2_validate "$bundle/manifest.ttl" "$bundle/tavolin.ttl" || fail "the bundle's Turtle is not valid"

info=$(LV2_PATH="$(dirname "$bundle"):/usr/lib/lv2" lv2info urn:tavolin:synth 2>&1)
grep -q "Class: *Instrument" <<<"$info" || fail "not listed as an instrument: $info"
for symbol in midi_in out latency; do
  grep -q "Symbol: *$symbol\$" <<<"$info" || fail "lv2info lists no port $symbol"
done
grep -q "Has latency: *yes, reported by port 2" <<<"$info" || fail "no latency port"

exported=$(nm -D --defined-only "$bundle/tavolin.so" | awk '{print $3}')
[ "$exported" = "lv2_descriptor" ] || fail "the library exports more than lv2_descriptor: $exported"
echo "PASS"
