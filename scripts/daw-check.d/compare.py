#!/usr/bin/env python3
"""Compares one rate's exports for scripts/daw-check: every file must equal
the first sample for sample, and the first sound must start at the first
note's frame. Prints what differs and a summary line; exits 0 when all
holds, 1 when not, 2 when a file cannot be read.

  compare.py RATE NOTE_FRAME TOLERANCE LABEL=FILE.wav...
"""

import array
import struct
import sys

# Sound starts where the output first comes within 60 dB of its peak: a
# resampler's sinc rings faintly ahead of an onset.
ONSET_BELOW_PEAK = 1e-3


class WaveError(Exception):
    pass


def read_float_wave(path):
    """(rate, channels, samples) of a 32-bit float WAVE file, interleaved."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise WaveError(f"{path}: not a WAVE file")
    rate = channels = None
    pos = 12
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if chunk == b"fmt ":
            tag, channels, rate, _, _, bits = struct.unpack("<HHIIHH", body[:16])
            if tag != 3 or bits != 32:
                raise WaveError(f"{path}: format {tag}, {bits} bits; expected 32-bit float")
        elif chunk == b"data":
            if rate is None:
                raise WaveError(f"{path}: data before fmt")
            samples = array.array("f")
            samples.frombytes(body[:len(body) // 4 * 4])
            if sys.byteorder != "little":
                samples.byteswap()
            return rate, channels, samples
        pos += 8 + size + (size & 1)
    raise WaveError(f"{path}: no data chunk")


def difference(reference, other):
    """(count of differing samples, index of the first one or None)."""
    count, first = abs(len(reference) - len(other)), None
    for i, (a, b) in enumerate(zip(reference, other)):
        if a != b:
            count += 1
            if first is None:
                first = i
    if first is None and count:
        first = min(len(reference), len(other))
    return count, first


def onset(samples, channels):
    """The first frame with sound in it, or None."""
    threshold = max(map(abs, samples), default=0.0) * ONSET_BELOW_PEAK
    for i, value in enumerate(samples):
        if abs(value) > threshold > 0:
            return i // channels
    return None


def value_at(samples, index):
    return f"{samples[index]:.9g}" if index < len(samples) else "(end of file)"


def compare(rate, note_frame, tolerance, exports):
    ok = True
    waves = []
    for label, path in exports:
        file_rate, channels, samples = read_float_wave(path)
        if file_rate != rate:
            print(f"{label}: {path} is at {file_rate} Hz, not {rate} Hz")
            ok = False
        waves.append((label, channels, samples))

    ref_label, channels, reference = waves[0]
    differing = []
    for label, other_channels, samples in waves[1:]:
        count, first = difference(reference, samples)
        if other_channels != channels:
            print(f"{label}: {other_channels} channels, {ref_label}: {channels}")
        if count == 0 and other_channels == channels:
            print(f"{label}: identical to {ref_label} ({len(samples) // channels} frames)")
            continue
        differing.append(label)
        frame, channel = divmod(first, channels)
        print(f"{label}: differs from {ref_label} in {count} of {len(reference)} samples; first at frame {frame}"
              f" (channel {channel}, block {frame // 1024} + {frame % 1024}): {ref_label} {value_at(reference, first)},"
              f" {label} {value_at(samples, first)}")
    start = onset(reference, channels)
    if start is None:
        where, placed = "none, silent", False
    else:
        off = start - note_frame
        where, placed = f"{start}, note at {note_frame} ({off:+d})", abs(off) <= tolerance

    same = "identical" if not differing else "DIFFER (" + ", ".join(differing) + ")"
    labels = ", ".join(label for label, _ in exports)
    ok = ok and not differing and placed
    print(f"{rate} Hz: exports {labels}: {same}; onset {where}: {'ok' if placed else 'WRONG'};"
          f" {'ok' if ok else 'FAILED'}")
    return ok


def main(argv):
    if len(argv) < 5 or any("=" not in arg for arg in argv[4:]):
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    try:
        rate, note_frame, tolerance = int(argv[1]), int(argv[2]), int(argv[3])
        exports = [tuple(arg.split("=", 1)) for arg in argv[4:]]
        return 0 if compare(rate, note_frame, tolerance, exports) else 1
    except (OSError, ValueError, WaveError) as error:
        print(f"compare: {error}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
