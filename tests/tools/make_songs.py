"""Writes three typical multi-track General MIDI songs of a few minutes each
(drums, bass, chords, melody, a pad with volume and expression rides, pitch
bends) and a five-minute solo piano piece, for measuring tavolin-render's
speed.
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


def piano(seed, bpm, bars, progression, scale_root):
    """One channel: broken chords in eighths below, a melody in octaves above."""
    rng = random.Random(seed)
    bar = 4 * DIVISION
    eighth = DIVISION // 2
    hands = []
    for b in range(bars):
        t0 = b * bar
        root = scale_root + progression[b % len(progression)]
        for step, interval in enumerate((0, 7, 12, 16, 19, 16, 12, 7)):
            notes(hands, 0, t0 + step * eighth, root - 12 + interval, eighth - 20, 55 + rng.randrange(20))
        t = t0
        while t < t0 + bar:
            length = rng.choice([eighth, DIVISION, DIVISION, 2 * DIVISION])
            key = root + 12 + rng.choice([0, 2, 4, 7, 9, 12])
            velocity = 75 + rng.randrange(35)
            notes(hands, 0, t, key, length - 15, velocity)
            notes(hands, 0, t, key + 12, length - 15, velocity - 15)
            t += length
    return song(0, DIVISION, [[(0, tempo(60_000_000 // bpm))] + sorted_track(hands)])


SONGS = {
    "pop_120bpm.mid": lambda: make(1, 120, 90, [0, 5, 9, 7], 60),
    "ballad_76bpm.mid": lambda: make(2, 76, 60, [0, 9, 5, 7, 0, 4, 5, 7], 57),
    "dance_128bpm.mid": lambda: make(3, 128, 110, [0, 0, 5, 7], 62),
    "piano_5min.mid": lambda: piano(4, 96, 120, [0, 5, 7, 0, 9, 5, 2, 7], 60),
}


def write_songs(out):
    """Writes every song into the folder `out`; returns their paths."""
    os.makedirs(out, exist_ok=True)
    paths = []
    for name, build in SONGS.items():
        paths.append(os.path.join(out, name))
        with open(paths[-1], "wb") as f:
            f.write(build())
    return paths


if __name__ == "__main__":
    write_songs(sys.argv[1])
