"""A small Standard MIDI File writer for the test data and the speed songs."""


def var_len(value):
    """A variable-length number, most significant group first."""
    groups = [value & 0x7F]
    value >>= 7
    while value:
        groups.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(groups))


def chunk(chunk_id, data):
    return chunk_id + len(data).to_bytes(4, "big") + data


def header(fmt, tracks, division):
    return chunk(b"MThd", fmt.to_bytes(2, "big") + tracks.to_bytes(2, "big") + division.to_bytes(2, "big"))


def track(events):
    """events: (absolute_tick, message bytes) in order; an end-of-track is added."""
    data = bytearray()
    last = 0
    for tick, message in events:
        data += var_len(tick - last) + message
        last = tick
    data += var_len(0) + b"\xff\x2f\x00"
    return chunk(b"MTrk", bytes(data))


def song(fmt, division, tracks):
    return header(fmt, len(tracks), division) + b"".join(track(t) for t in tracks)


def tempo(microseconds):
    return b"\xff\x51\x03" + microseconds.to_bytes(3, "big")
