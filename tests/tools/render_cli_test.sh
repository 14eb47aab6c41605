#!/bin/sh
# tavolin-render from the command line: exit codes, messages, --events.
# usage: render_cli_test.sh TAVOLIN_RENDER DATA_DIR
set -u
render=$1
data=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
    fail=1
  fi
}

check "events" "0 Tempo 500000
0 NoteOn 0 60 100
500 NoteOff 0 60" "$("$render" --events "$data/one_note.mid")"

check "bend and volume values" "0 Volume 0 0.78904962461087713
0 Volume 0 0.63279008728560093
0 NoteOn 0 60 49" "$("$render" --events "$data/controllers.mid" | head -3)"

msg=$("$render" --events "$data/format2.mid" 2>&1 >/dev/null); code=$?
check "refused file" "tavolin-render: $data/format2.mid: Format 02 or later are not supported. 1" "$msg $code"

msg=$("$render" "$data/unknown_chunk.mid" -o "$out/x.wav" 2>&1); code=$?
check "refused render" "tavolin-render: $data/unknown_chunk.mid: Unknown chunk incoming 1" "$msg $code"
[ -e "$out/x.wav" ] && { echo "FAIL refused render wrote a file"; fail=1; }

"$render" "$data/one_note.mid" >/dev/null 2>&1; check "usage error" 2 $?
"$render" --mode 99 "$data/one_note.mid" -o "$out/y.wav" >/dev/null 2>&1; check "bad mode" 2 $?
"$render" --help | grep -q 'usage: tavolin-render'; check "help" 0 $?
"$render" --version | grep -q '^tavolin-render [0-9]'; check "version" 0 $?

"$render" --quiet "$data/one_note.mid" -o "$out/a.wav"; check "render" 0 $?
"$render" --quiet "$data/one_note.mid" -o "$out/b.wav"
cmp -s "$out/a.wav" "$out/b.wav"; check "same bytes" 0 $?

exit $fail
