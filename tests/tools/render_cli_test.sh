#!/bin/sh
# tavolin-render from the command line: exit codes, messages, --events, and
# that no failure leaves a partial output or changes an existing one.
# usage: render_cli_test.sh TAVOLIN_RENDER DATA_DIR
set -u
render=$1
data=$2
song=$data/one_note.mid
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
500 NoteOff 0 60" "$("$render" --events "$song")"

check "bend and volume values" "0 Volume 0 0.78904962461087713
0 Volume 0 0.63279008728560093
0 NoteOn 0 60 49" "$("$render" --events "$data/controllers.mid" | head -3)"

msg=$("$render" --events "$data/format2.mid" 2>&1 >/dev/null); code=$?
check "refused file" "tavolin-render: $data/format2.mid: Format 02 or later are not supported. 1" "$msg $code"

"$render" --help | grep -q 'usage: tavolin-render'; check "help" 0 $?
"$render" --version | grep -q '^tavolin-render [0-9]'; check "version" 0 $?

# Every name the unknown-name message lists has its line in --help.
names=$("$render" --set Nope=1 "$song" -o x.wav 2>&1 | sed -n '2,$p' | grep -v '^(' | tr ' ' '\n' |
  sed 's/^\(Unison[A-Za-z]*\)[0-7]$/\1K/' | sort -u)
help=$("$render" --help)
for name in $names; do
  printf '%s\n' "$help" | grep -q "^  $name  *[a-z]" || check "--help lists $name" listed missing
done
check "names listed" 27 "$(printf '%s\n' "$names" | wc -l | tr -d ' ')"

# One note held for 200000 quarters of half a second: 28 hours.
printf 'MThd\000\000\000\006\000\000\000\001\000\001MTrk\000\000\000\016\000\220\074\144\214\232\100\200\074\000\000\377\057\000' >"$out/long.mid"

# Each row runs in $out/w, where o.wav holds "old" before it: the exit code,
# a piece of stderr (empty: stderr must be empty) and o.wav afterwards, kept
# or new; nothing else may be left in the folder.
blocks=unlimited  # the file size limit, in 512-byte blocks
mkdir "$out/w"
row() {  # row CODE FRAGMENT OUTPUT ARGS...
  want=$1 fragment=$2 output=$3
  shift 3
  echo old >"$out/w/o.wav"
  msg=$(cd "$out/w" && ulimit -f "$blocks" && trap '' XFSZ && exec "$render" --quiet "$@" 2>&1 >/dev/null)
  got=$?
  [ "$(cat "$out/w/o.wav")" = old ] && now=kept || now=new
  case "$msg" in
    "") [ -z "$fragment" ] && seen=yes || seen=no ;;
    *"$fragment"*) [ -n "$fragment" ] && seen=yes || seen=no ;;
    *) seen=no ;;
  esac
  check "$*" "$want yes $output o.wav" "$got $seen $now $(ls -A "$out/w")"
  [ "$seen" = yes ] || printf '%s\n' "$msg"
}
row 0 "" new "$song" -o o.wav
row 0 "" new --set MasterVol=0.5 --set ONLY_CH=-3 --set rectwFact=-1 --set Distortion=0 --seconds 0.5 "$song" -o o.wav
row 0 "warning: --set MasterVol=0: " new --set MasterVol=0 "$song" -o o.wav
row 0 "warning: --set ArpeggioS1=1.5: " new --set ArpeggioS1=1.5 "$song" -o o.wav
row 2 "MasterVol Howling" kept --set Nope=1 "$song" -o o.wav
row 2 "decimal number" kept --set Life=0x10 "$song" -o o.wav
row 2 "decimal number" kept --set Life=nan "$song" -o o.wav
row 2 "decimal number" kept --set Life=-inf "$song" -o o.wav
row 2 "decimal number" kept --seconds " 1" "$song" -o o.wav
row 2 "4 GiB" kept --seconds 86400 "$song" -o o.wav
row 2 "4 GiB" kept --seconds 100000 "$song" -o o.wav
row 1 "long.mid: the song is longer than a WAVE file holds (4 GiB, 13.5 hours); --seconds S renders its first S seconds" kept "$out/long.mid" -o o.wav
row 0 "" new --seconds 0.5 "$out/long.mid" -o o.wav
row 2 "--mode takes" kept --mode 99 "$song" -o o.wav
row 2 "no output file" kept "$song"
row 1 "$data: Can't open the MIDI file. (Is a directory)" kept "$data" -o o.wav
row 1 "Can't open the MIDI file. (No such file" kept "$data/none.mid" -o o.wav
row 1 "Unknown chunk incoming" kept "$data/unknown_chunk.mid" -o o.wav
row 1 "missing/o.wav: can't write: the directory missing does not exist" kept "$song" -o missing/o.wav
row 1 ".: can't write: Is a directory" kept "$song" -o .
row 1 "o.wav/x.wav: can't write: Not a directory" kept "$song" -o o.wav/x.wav
row 0 "" new --events "$song" -o o.wav
row 1 "Is a directory" kept --events "$data" -o o.wav
blocks=20
row 1 "o.wav: can't write: File too large" kept "$song" -o o.wav
blocks=unlimited
check "events written to the file" "0 NoteOn 0 60 100" "$("$render" --events "$song" -o /dev/stdout | sed -n 2p)"

# Ended by a signal, the render removes its temporary file.
echo old >"$out/w/o.wav"
(cd "$out/w" && exec "$render" --quiet --seconds 3000 "$song" -o o.wav) &
pid=$!
i=0
while [ -z "$(ls -A "$out/w" | grep '\.tmp$')" ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done
kill -TERM $pid
wait $pid
check "terminated" "143 old o.wav" "$? $(cat "$out/w/o.wav") $(ls -A "$out/w")"

"$render" --quiet "$song" -o "$out/a.wav"
"$render" --quiet "$song" -o "$out/b.wav"
cmp -s "$out/a.wav" "$out/b.wav"; check "same bytes" 0 $?

# Standard output, a pipe by name and a FIFO get the bytes of a file, which
# an independent reader takes from the pipe as a whole WAVE file. They are
# staged in TMPDIR, which is left empty, also by a reader that quits early.
mkdir "$out/tmp"
export TMPDIR="$out/tmp"
"$render" --quiet "$song" -o - | cat >"$out/dash.wav"
"$render" --quiet "$song" -o /dev/stdout | cat >"$out/stdout.wav"
mkfifo "$out/fifo"
cat "$out/fifo" >"$out/fifo.wav" &
"$render" --quiet "$song" -o "$out/fifo"
wait $!
for name in dash stdout fifo; do
  cmp -s "$out/a.wav" "$out/$name.wav"; check "same bytes through $name" 0 $?
done
check "read from a pipe" "1 2 44100 $((($(wc -c <"$out/a.wav") - 46) / 2))" "$("$render" --quiet "$song" -o - |
  python3 -c 'import sys, wave; w = wave.open(sys.stdin.buffer); n = len(w.readframes(1 << 30)) // 2
print(w.getnchannels(), w.getsampwidth(), w.getframerate(), n)')"
check "events to standard output" "0 NoteOn 0 60 100" "$("$render" --events "$song" -o - | sed -n 2p)"
"$render" --quiet "$song" -o - 2>/dev/null | head -c 46 >/dev/null
check "no temporary file left" "" "$(ls -A "$TMPDIR")"

exit $fail
