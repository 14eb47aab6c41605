#!/usr/bin/env python3
"""Checks a recorded WAVE file with Python's own reader: 16-bit mono PCM at
44100 Hz, both sizes filled in, whole blocks of 1024 samples, and sound in it
(a peak above MIN_PEAK). Prints the frame count and the peak.
usage: check_recording.py FILE MIN_PEAK"""
import os
import struct
import sys
import wave

path, min_peak = sys.argv[1], int(sys.argv[2])
size = os.path.getsize(path)
with open(path, "rb") as f:
    header = f.read(46)
riff_size, data_size = struct.unpack("<I", header[4:8])[0], struct.unpack("<I", header[42:46])[0]
if riff_size != size - 8 or data_size != size - 46 or data_size % 2048 != 0:
    sys.exit(f"sizes: file {size}, RIFF {riff_size}, data {data_size}")
with wave.open(path) as w:
    if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, 44100):
        sys.exit(f"format: {w.getparams()}")
    frames = w.readframes(w.getnframes())
samples = struct.unpack(f"<{len(frames) // 2}h", frames)
peak = max((abs(s) for s in samples), default=0)
if peak < min_peak:
    sys.exit(f"no sound: peak {peak} in {len(samples)} samples")
print(len(samples), peak)
