"""Renders every test song with a few settings and compares the SHA-256 of
each output file with tests/tools/golden_renders.txt; with --write, records
them there instead.
usage: python3 golden_renders.py [--write] TAVOLIN_RENDER"""

import glob
import hashlib
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
GOLDEN = os.path.join(HERE, "golden_renders.txt")
sys.path.insert(0, HERE)
from make_songs import write_songs  # noqa: E402

SWITCHES = ["DetuneOn", "RingOn", "VoiceResoOn", "TimedResoOn", "ArpeggioOn", "HowlingOn", "DistortionOn",
            "LPFResoOn", "LPFOn", "HPFOn"]
SETTINGS = {
    "plain": [],
    "saws": ["--mode", "9", "--on", "DetuneOn"],
    "effects": [arg for name in SWITCHES if name != "DetuneOn" for arg in ("--on", name)],
    "vocoder": ["--vocoder", os.path.join(ROOT, "tests", "spectral", "data", "sine_mono16.wav")],
    "midi-in": ["--midi-in"],
}

HEADER = """\
# SHA-256 of tavolin-render's output for every test song and setting, on x86-64:
# <setting> <song> <exit code> <sha256 of the WAVE file, or - when none was written>
# These pin the renderer's output to the bit, so that work on its speed or its
# threads cannot change a sample unnoticed. Regenerate them only with
#   python3 tests/tools/golden_renders.py --write build/test/tools/tavolin-render
# and only when the output is meant to change (or a test song was added).
"""


def render(program, args, song, out):
    if os.path.exists(out):
        os.remove(out)
    code = subprocess.run([program, "--quiet", *args, song, "-o", out], stderr=subprocess.DEVNULL).returncode
    if not os.path.exists(out):
        return f"{code} -"
    with open(out, "rb") as f:
        return f"{code} {hashlib.sha256(f.read()).hexdigest()}"


def renders(program, work):
    songs = sorted(glob.glob(os.path.join(ROOT, "tests", "midi", "data", "*.mid"))) + write_songs(work)
    out = os.path.join(work, "out.wav")
    return {f"{setting} {os.path.basename(song)}": render(program, args, song, out)
            for setting, args in SETTINGS.items() for song in songs}


def read_golden():
    with open(GOLDEN) as f:
        rows = [line.split() for line in f if line.strip() and not line.startswith("#")]
    return {f"{r[0]} {r[1]}": f"{r[2]} {r[3]}" for r in rows}


def main():
    write = sys.argv[1:2] == ["--write"]
    program = os.path.abspath(sys.argv[-1])
    with tempfile.TemporaryDirectory() as work:
        got = renders(program, work)
    if write:
        with open(GOLDEN, "w") as f:
            f.write(HEADER + "".join(f"{key} {value}\n" for key, value in got.items()))
        return 0
    want = read_golden()
    wrong = [f"{key}: want {want.get(key, 'no entry')}, got {got.get(key, 'not rendered')}"
             for key in sorted(set(want) | set(got)) if want.get(key) != got.get(key)]
    print("\n".join(wrong) or f"{len(got)} renders match")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
