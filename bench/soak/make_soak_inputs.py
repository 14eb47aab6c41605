"""Writes the soak test's inputs into OUT_DIR:
  stress.mid     SECONDS long: a new three-second note every 20 ms on the
                 fifteen melodic channels, so that about 144 notes want to
                 sound at once and all 128 voices stay busy the whole time
                 (the drum channel is left out: its notes are short and use
                 a mode of their own);
  modulator.wav  MODULATOR_SECONDS (30 unless given) of a vowel-like buzz
                 with a moving pitch, 16-bit mono at 44100 Hz, for the
                 vocoder (the window's soak starts it again every 20 s; the
                 sound module's plays one as long as the run).
usage: python3 make_soak_inputs.py SECONDS OUT_DIR [MODULATOR_SECONDS]"""

import array
import math
import os
import sys
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "midi"))
from smf_writer import song, tempo  # noqa: E402

DIVISION = 480
QUARTER_US = 500_000  # 120 bpm: a tick is about a millisecond
NOTE_EVERY = 20  # ticks
NOTE_LENGTH = 2880  # ticks: three seconds
MELODIC = [c for c in range(16) if c != 9]
RATE = 44100


def stress_song(seconds):
    ticks = seconds * 1_000_000 * DIVISION // QUARTER_US
    events = []
    for n in range(ticks // NOTE_EVERY):
        start = n * NOTE_EVERY
        channel = MELODIC[n % len(MELODIC)]
        # A channel's key comes round again only after 25 s: no note-off
        # ends a later note of the same key early.
        key = 24 + (n // len(MELODIC) * 7) % 80
        events.append((start, 1, bytes([0x90 | channel, key, 100])))
        events.append((start + NOTE_LENGTH, 0, bytes([0x80 | channel, key, 0])))
    events.sort(key=lambda e: (e[0], e[1]))
    return song(0, DIVISION, [[(0, tempo(QUARTER_US))] + [(t, m) for t, _, m in events]])


def modulator(seconds):
    samples = array.array("h")
    phase = 0.0
    for i in range(seconds * RATE):
        t = i / RATE
        phase += (110.0 + 40.0 * math.sin(2 * math.pi * 0.25 * t)) / RATE
        saw = 2.0 * (phase % 1.0) - 1.0
        formant = math.sin(2 * math.pi * 700.0 * t) * (0.5 + 0.5 * math.sin(2 * math.pi * 3.0 * t))
        samples.append(int(9000 * saw + 5000 * formant * saw))
    return samples


def main():
    seconds, out = int(sys.argv[1]), sys.argv[2]
    modulator_seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "stress.mid"), "wb") as f:
        f.write(stress_song(seconds))
    with wave.open(os.path.join(out, "modulator.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(modulator(modulator_seconds).tobytes())


if __name__ == "__main__":
    main()
