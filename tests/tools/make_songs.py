"""Writes three typical multi-track General MIDI songs of a few minutes each
(drums, bass, chords, melody, a pad with volume and expression rides, pitch
bends), for measuring tavolin-render's speed.
usage: python3 make_songs.py OUT_DIR"""

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "midi"))
from smf_writer import song, tempo  # noqa: E402

DIVISION = 480


def notes(events, channel, start, key, length, velocity):
    events.append((start, bytes([0x90 | channel, key, velocity])))
    events.append((start + length, bytes([0x80 | channel, key, 0])))


def sorted_track(events):
    return sorted(events, key=lambda e: (e[0], e[1][0] & 0xF0 != 0x80))


def make(seed, bpm, bars, progression, scale_root):
    rng = random.Random(seed)
    bar = 4 * DIVISION
    conductor = [(0, tempo(60_000_000 // bpm)), (bars // 2 * bar, tempo(60_000_000 // (bpm + 8)))]
    drums, bass, chords, melody, pad = [], [], [], [], []
    for b in range(bars):
        t0 = b * bar
        for step in range(16):
            t = t0 + step * DIVISION // 4
            if step % 4 == 0:
                notes(drums, 9, t, 36, 60, 110)
            if step % 8 == 4:
                notes(drums, 9, t, 38, 60, 100)
            notes(drums, 9, t, 42 if step % 2 == 0 else 44, 30, 60 + rng.randrange(30))
        root = scale_root + progression[b % len(progression)]
        for beat in range(4):
            notes(bass, 1, t0 + beat * DIVISION, root - 24 + (7 if beat == 2 else 0), DIVISION - 40, 90)
        for beat in (0, 2):
            for interval in (0, 4, 7, 11):
                notes(chords, 2, t0 + beat * DIVISION, root + interval, 2 * DIVISION - 20, 70)
        t = t0
        while t < t0 + bar:
            length = rng.choice([DIVISION // 2, DIVISION // 4, DIVISION])
            notes(melody, 3, t, root + 12 + rng.choice([0, 2, 4, 5, 7, 9, 11, 12]), length - 10, 80 + rng.randrange(40))
            t += length
        melody.append((t0 + DIVISION, bytes([0xE3, 0x00, 0x48])))
        melody.append((t0 + DIVISION + 60, bytes([0xE3, 0x00, 0x40])))
        notes(pad, 4, t0, root + 12, bar - 10, 60)
        notes(pad, 4, t0, root + 19, bar - 10, 60)
        for k in range(8):
            pad.append((t0 + k * bar // 8, bytes([0xB4, 11, 60 + 8 * k])))
        pad.append((t0, bytes([0xB4, 7, 90 + rng.randrange(30)])))
    return song(1, DIVISION, [conductor] + [sorted_track(t) for t in (drums, bass, chords, melody, pad)])


SONGS = {
    "pop_120bpm.mid": (1, 120, 90, [0, 5, 9, 7], 60),
    "ballad_76bpm.mid": (2, 76, 60, [0, 9, 5, 7, 0, 4, 5, 7], 57),
    "dance_128bpm.mid": (3, 128, 110, [0, 0, 5, 7], 62),
}

if __name__ == "__main__":
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, args in SONGS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(make(*args))
