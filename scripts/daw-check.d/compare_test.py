#!/usr/bin/env python3
"""Tests of compare.py: python3 scripts/daw-check.d/compare_test.py"""

import array
import contextlib
import io
import os
import struct
import tempfile
import unittest

import compare


def wave_bytes(samples, rate=44100, channels=2, tag=3, bits=32):
    body = array.array("f", samples).tobytes()
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * channels * bits // 8, channels * bits // 8, bits)
    chunks = b"fmt " + struct.pack("<I", len(fmt)) + fmt
    chunks += b"fact" + struct.pack("<I", 4) + struct.pack("<I", len(samples) // channels)
    chunks += b"data" + struct.pack("<I", len(body)) + body
    return b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks


class CompareTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, data):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_reads_float_wave_and_refuses_others(self):
        path = self.write("a.wav", wave_bytes([0.0, 0.5, -0.25, 1.0], rate=48000))
        rate, channels, samples = compare.read_float_wave(path)
        self.assertEqual((rate, channels, list(samples)), (48000, 2, [0.0, 0.5, -0.25, 1.0]))
        for name, data in [("pcm.wav", wave_bytes([0.0] * 4, tag=1, bits=16)), ("junk.wav", b"RIFX" + b"\0" * 40),
                           ("empty.wav", b"RIFF\0\0\0\0WAVE")]:
            with self.subTest(name), self.assertRaises(compare.WaveError):
                compare.read_float_wave(self.write(name, data))

    def test_difference_counts_and_finds_the_first(self):
        cases = [
            ([1, 2, 3], [1, 2, 3], (0, None)),
            ([1, 2, 3, 4], [1, 9, 3, 8], (2, 1)),
            ([1, 2, 3], [1, 2], (1, 2)),  # a shorter file differs where it ends
            ([1, 2, 3], [7, 2], (2, 0)),
        ]
        for reference, other, expected in cases:
            with self.subTest(reference=reference, other=other):
                self.assertEqual(compare.difference(reference, other), expected)

    def test_onset_ignores_faint_ringing_and_counts_frames(self):
        ringing = [0.0] * 10 + [1e-5, -1e-5] + [0.0, 0.5, 0.0, -1.0]
        self.assertEqual(compare.onset(ringing, 2), 6)  # the 0.5 at sample 13: frame 6 of a stereo file
        self.assertIsNone(compare.onset([0.0] * 8, 2))

    def run_compare(self, files, note_frame, tolerance=2):
        exports = [(label, self.write(label + ".wav", wave_bytes(samples))) for label, samples in files]
        with contextlib.redirect_stdout(io.StringIO()) as out:
            ok = compare.compare(44100, note_frame, tolerance, exports)
        return ok, out.getvalue()

    def test_judges_equality_and_the_onset(self):
        sound = [0.0] * 20 + [0.5, 0.5] * 10
        changed = list(sound)
        changed[25] = 0.25
        ok, out = self.run_compare([("64", sound), ("256", list(sound))], note_frame=10)
        self.assertTrue(ok, out)
        ok, out = self.run_compare([("64", sound), ("256", changed)], note_frame=10)
        self.assertFalse(ok)
        self.assertIn("256: differs from 64 in 1 of 40 samples; first at frame 12 (channel 1", out)
        ok, out = self.run_compare([("64", sound), ("256", list(sound))], note_frame=13)
        self.assertFalse(ok)
        self.assertIn("onset 10, note at 13 (-3): WRONG", out)


if __name__ == "__main__":
    unittest.main()
