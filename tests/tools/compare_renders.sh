#!/bin/sh
# Renders the same songs with two builds of tavolin-render (say, the host's
# and a cross-built one run under an emulator) and requires the same bytes:
# a whole song, then a few seconds of each oscillator mode with the switches
# spread over them.
# usage: compare_renders.sh RENDER_A RENDER_B TESTS_DIR
set -u
a=$1
b=$2
tests=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 "$tests/tools/make_songs.py" "$out" || exit 1
vocoder=$tests/spectral/data/sine_mono16.wav
fail=0
compare() {  # compare OPTIONS...
  "$a" --quiet "$@" "$out/pop_120bpm.mid" -o "$out/a.wav" || { echo "FAIL [$*]: $a failed"; fail=1; return; }
  "$b" --quiet "$@" "$out/pop_120bpm.mid" -o "$out/b.wav" || { echo "FAIL [$*]: $b failed"; fail=1; return; }
  if cmp -s "$out/a.wav" "$out/b.wav"; then
    echo "same [$*]"
  else
    echo "FAIL [$*]: $(python3 -c 'import sys
a, b = (open(f, "rb").read() for f in sys.argv[1:])
n = sum(a[i:i + 2] != b[i:i + 2] for i in range(46, min(len(a), len(b)), 2))
print(f"{n} samples differ, lengths {len(a)} and {len(b)} bytes")' "$out/a.wav" "$out/b.wav")"
    fail=1
  fi
}
compare --mode 0
compare --seconds 6 --mode 1 --on DetuneOn
compare --seconds 6 --mode 2 --on RingOn
compare --seconds 6 --mode 3 --on VoiceResoOn --on TimedResoOn
compare --seconds 6 --mode 4 --on ArpeggioOn
compare --seconds 6 --mode 5 --on HowlingOn
compare --seconds 6 --mode 6 --on DistortionOn --set Distortion=4000
compare --seconds 6 --mode 7 --on LPFResoOn
compare --seconds 6 --mode 8 --on LPFOn --set ModPower=0.5
compare --seconds 6 --mode 9 --on DetuneOn
compare --seconds 6 --mode 10 --on HPFOn
compare --seconds 6 --mode 11 --set rectwFact=3 --vocoder "$vocoder"
compare --seconds 6 --mode 12 --on LPFOn --on HPFOn
compare --seconds 6 --mode 13 --on RingOn --on VoiceResoOn
compare --seconds 6 --mode 14 --on ArpeggioOn --on DetuneOn
exit $fail
