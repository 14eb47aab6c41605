#!/usr/bin/env python3
"""Checks a recorded WAVE file with Python's own reader: 16-bit mono PCM at
44100 Hz, both sizes filled in, whole blocks of 1024 samples, and sound in it
(a peak above MIN_PEAK). Prints the frame count and the peak.

With CAPTURE (what a JACK client heard of the program's output, as jack_rec
writes it: 32-bit, possibly cut off by a signal), also checks that the file
holds what was heard after its first block, each block once. The file is
placed in the capture by its first block with sound after the first; each
block then follows the one before it directly, or after a stretch in which
the device played a part of it, then silence (a restart, or the output
running dry). Prints the count of such stretches too.
usage: check_recording.py FILE MIN_PEAK [CAPTURE]"""
import os
import struct
import sys
import wave

BLOCK = 1024


def recorded(path, min_peak):
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        header = f.read(46)
    riff_size, data_size = struct.unpack("<I", header[4:8])[0], struct.unpack("<I", header[42:46])[0]
    if riff_size != size - 8 or data_size != size - 46 or data_size % (2 * BLOCK) != 0:
        sys.exit(f"sizes: file {size}, RIFF {riff_size}, data {data_size}")
    with wave.open(path) as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, 44100):
            sys.exit(f"format: {w.getparams()}")
        frames = w.readframes(w.getnframes())
    samples = struct.unpack(f"<{len(frames) // 2}h", frames)
    peak = max((abs(s) for s in samples), default=0)
    if peak < min_peak:
        sys.exit(f"no sound: peak {peak} in {len(samples)} samples")
    return samples, peak


def heard(path):
    """The captured samples back in 16 bits: the sound server's floats were
    made from them exactly, and 32 bits keep every float's 16-bit origin."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(b"data", 12)
    if data[:4] != b"RIFF" or at < 0 or struct.unpack("<HH", data[20:24]) != (1, 1) or data[34:36] != b"\x20\x00":
        sys.exit("the capture is not 32-bit mono PCM")
    body = data[at + 8:]
    ints = struct.unpack(f"<{len(body) // 4}i", body[: len(body) // 4 * 4])
    # The 16-bit to float conversion is (s + 0.5) / 32767.5 or s / 32768,
    # depending on the library's version: the one that gives whole numbers.
    for scale, offset in ((32767.5, -0.5), (32768.0, 0.0)):
        values = [i / 2147483647.0 * scale + offset for i in ints]
        if all(abs(v - round(v)) < 0.01 for v in values[:100000]):
            return [round(v) for v in values]
    sys.exit("the capture's samples are not 16-bit values")


def compare(file_samples, capture):
    blocks = [list(file_samples[i:i + BLOCK]) for i in range(0, len(file_samples), BLOCK)]
    if len(blocks) < 3:
        sys.exit(f"only {len(blocks)} blocks recorded")
    # Silence is heard everywhere: the file is placed by its first block
    # with sound after the first block.
    anchor = next((n for n in range(1, len(blocks)) if any(blocks[n])), None)
    if anchor is None:
        sys.exit("no sound after the first block")
    packed = struct.pack(f"<{len(capture)}h", *capture)
    first = struct.pack(f"<{BLOCK}h", *blocks[anchor])
    at = packed.find(first)
    while at >= 0 and at % 2:
        at = packed.find(first, at + 1)
    if at < 0:
        sys.exit(f"block {anchor}, the first with sound, was never heard")
    pos, gaps = at // 2, 0
    for n, block in enumerate(blocks[anchor:], anchor):
        if capture[pos:pos + BLOCK] == block:
            pos += BLOCK
            continue
        part = 0
        while part < BLOCK and pos + part < len(capture) and capture[pos + part] == block[part]:
            part += 1
        silent = pos + part
        while silent < len(capture) and capture[silent] == 0:
            silent += 1
        lead = next((i for i, s in enumerate(block) if s != 0), BLOCK)
        start = silent - lead
        if start < pos + part or capture[start:start + BLOCK] != block:
            sys.exit(f"block {n} of {len(blocks)} is not what was heard after sample {pos} of the capture")
        gaps += 1
        pos = start + BLOCK
    return gaps


path, min_peak = sys.argv[1], int(sys.argv[2])
samples, peak = recorded(path, min_peak)
if len(sys.argv) > 3:
    gaps = compare(samples, heard(sys.argv[3]))
    print(len(samples), peak, gaps)
else:
    print(len(samples), peak)
