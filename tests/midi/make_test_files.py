"""Writes the small MIDI files in data/ (the converter tests' inputs and the
fuzzer's seeds). Run from this folder: python3 make_test_files.py"""

import os

from smf_writer import chunk, header, song, tempo, track, var_len

HERE = os.path.dirname(os.path.abspath(__file__))


def write(name, data):
    with open(os.path.join(HERE, "data", name), "wb") as f:
        f.write(data)


# One note at 120 bpm, 480 ticks per quarter: note-off at 500 ms.
write("one_note.mid", bytes.fromhex("4D546864000000060000000101E0" "4D54726B00000014"
                                    "00FF510307A120" "00903C64" "8360803C40" "00FF2F00"))

# A tempo track and a note track: the notes follow the tempo changes.
write("tempo_track.mid", song(1, 96, [
    [(0, tempo(500000)), (192, tempo(250000))],
    [(0, b"\x90\x40\x50"), (96, b"\x80\x40\x00"), (192, b"\x90\x43\x50"), (288, b"\x80\x43\x00"),
     (384, b"\x90\x48\x50"), (480, b"\x90\x48\x00")],
]))

# Running status, controllers, a pitch-bend range of 12 semitones, sysex,
# program change, drums on channel 10.
write("controllers.mid", song(1, 480, [
    [(0, b"\xf0\x05\x7e\x7f\x09\x01\xf7"), (0, b"\xb0\x65\x00"), (0, b"\x64\x00"), (0, b"\x06\x0c"),
     (0, b"\xb0\x07\x64"), (0, b"\x0b\x50"), (0, b"\xc0\x05"), (0, b"\x90\x3c\x64"), (10, b"\x3e\x64"),
     (10, b"\x40\x64"), (240, b"\xe0\x00\x60"), (480, b"\x80\x3c\x00"), (480, b"\x3e\x00"), (480, b"\x40\x00")],
    [(0, b"\x99\x24\x7f"), (240, b"\x99\x26\x7f"), (480, b"\x99\x2a\x60"), (480, b"\x89\x24\x00")],
]))

# An unknown chunk after the track.
write("unknown_chunk.mid", song(0, 480, [[(0, b"\x90\x3c\x64"), (480, b"\x80\x3c\x40")]]) + chunk(b"XTRA", b"\x00\x01"))

# Cut off inside the note track.
write("truncated.mid", song(0, 480, [[(0, b"\x90\x3c\x64"), (480, b"\x80\x3c\x40")]])[:-6])

# Format 2 is refused.
write("format2.mid", header(2, 1, 480) + track([(0, b"\x90\x3c\x64")]))
