#!/usr/bin/env python3
"""clang-tidy over our sources, skipping what already passed unchanged.

scripts/lint (its bash wrapper) runs this: clang-tidy with the checks of
.clang-tidy over every file of our folders in BUILD_DIR's compile database,
compiled as the database says, then over the fuzz targets (-std=c++20
-I<root>), JOBS at a time. Any finding fails.

A file that passed clean leaves an empty marker in the cache, named by a
sha256 over all that decides its result: the clang-tidy version, the
.clang-tidy files over it, its compile arguments and the content of the file
and every header it includes. A run skips a file whose marker exists. The
source root and the build dir are written as placeholders in that key, so a
second clone on this machine (its own absolute path, the same build
configuration) finds the markers of the first one.

The headers come from ninja's deps log when it holds a valid record no older
than the headers; otherwise from the file's own compile command run with -M.

  scripts/lint BUILD_DIR [JOBS]
  cache: ${XDG_CACHE_HOME:-$HOME/.cache}/tavolin/lint/
  TAVOLIN_LINT_CACHE=0: no cache (every file linted, nothing recorded)
"""

import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import threading

# The checks were chosen, and their findings settled, with this version.
TIDY = "clang-tidy-14"
FOLDERS = "app|audio|bench|headless|host|lv2|midi|params|platform|spectral|synth|tests|tools|ui"
# The build is gcc's: a gcc-only warning option on a file is no fault.
EXTRA_ARGS = ["--extra-arg=-Wno-unknown-warning-option"]
# Raised when what goes into a key, or how clang-tidy is run, changes.
KEY_SCHEME = "tavolin-lint-1"
FAILED = ("lint: clang-tidy found the faults above "
          "(a deliberate one takes NOLINT(check): reason on its line)")
# The header CMake precompiles for a target, and the files it makes of it.
PRECOMPILED = re.compile(r"/cmake_pch\.hxx(\.gch|\.cxx)?$")
# The count of warnings clang hid in system headers.
GENERATED = re.compile(r"^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$")

print_lock = threading.Lock()
stopping = threading.Event()


def fail(message):
    print(f"lint: {message}", file=sys.stderr)
    sys.exit(2)


class Placeholders:
    """Writes the source root and the build dir as fixed names."""

    def __init__(self, root, build):
        pairs = {}
        for path in (build, os.path.realpath(build)):
            pairs[path] = "@BUILD@"
        for path in (root, os.path.realpath(root)):
            pairs.setdefault(path, "@ROOT@")
        # The longer first: the build dir usually lies inside the root.
        self.pairs = [(re.compile(re.escape(path) + r"(?=/|$|[^\w.+-])"), name)
                      for path, name in sorted(pairs.items(), key=lambda p: -len(p[0]))]

    def __call__(self, text):
        for pattern, name in self.pairs:
            text = pattern.sub(name, text)
        return text


class Files:
    """Per run: each file's mtime and content hash, each found once."""

    def __init__(self):
        self.known = {}

    def get(self, path):
        """(mtime_ns, sha256 hex), or None when it cannot be read."""
        found = self.known.get(path)
        if found is None and path not in self.known:
            try:
                with open(path, "rb") as f:
                    mtime = os.fstat(f.fileno()).st_mtime_ns
                    found = (mtime, hashlib.sha256(f.read()).hexdigest())
            except OSError:
                found = None
            self.known[path] = found
        return found


def ninja_deps(build):
    """Object path -> its header deps, for the valid records of ninja's log."""
    if not shutil.which("ninja") or not os.path.exists(os.path.join(build, ".ninja_deps")):
        return {}
    run = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True,
                         text=True, errors="surrogateescape", check=False)
    if run.returncode != 0:
        return {}
    header = re.compile(r"^(.*): #deps \d+, deps mtime \d+ \((VALID|STALE)\)$")
    deps, current = {}, None
    for line in run.stdout.splitlines():
        if line.startswith("    "):
            if current is not None:
                current.append(os.path.normpath(os.path.join(build, line.strip())))
            continue
        match = header.match(line)
        current = None
        if match and match[2] == "VALID":
            current = deps.setdefault(os.path.normpath(os.path.join(build, match[1])), [])
    return deps


def make_deps(text, directory):
    """The prerequisites of the rule -M printed, as normalised paths."""
    text = text.replace("\\\n", " ")
    _, sep, rest = text.partition(": ")
    if not sep:
        return None
    words = re.findall(r"(?:\\.|[^\s\\])+", rest)
    return [os.path.normpath(os.path.join(directory, re.sub(r"\\(.)", r"\1", w).replace("$$", "$")))
            for w in words]


class Unit:
    """One file to lint: its compile commands and its clang-tidy command."""

    def __init__(self, path, commands, tidy_args):
        self.path = path
        self.commands = commands  # [(directory, argv)]
        self.tidy_args = tidy_args


def argv_of(entry):
    if "arguments" in entry:
        return list(entry["arguments"])
    return shlex.split(entry["command"])


def without_precompiled_header(argv):
    """argv without the test programs' precompiled header: it is gcc's, which
    clang cannot read, and each file is to be checked with its own includes."""
    out, skip = [], False
    for i, arg in enumerate(argv):
        if skip:
            skip = False
        elif arg == "-include" and i + 1 < len(argv) and PRECOMPILED.search(argv[i + 1]):
            skip = True
        elif arg != "-Winvalid-pch":
            out.append(arg)
    return out


def without_output(argv):
    """argv without its -o <obj> (and any dependency-file options)."""
    out, skip = [], False
    for arg in argv:
        if skip:
            skip = False
        elif arg in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
        elif arg not in ("-MD", "-MMD"):
            out.append(arg)
    return out


def object_of(directory, argv):
    for i, arg in enumerate(argv[:-1]):
        if arg == "-o":
            return os.path.normpath(os.path.join(directory, argv[i + 1]))
    return None


class Keys:
    def __init__(self, root, build, tidy_version):
        self.root = root
        self.ph = Placeholders(root, build)
        self.files = Files()
        self.ninja = ninja_deps(build)
        self.tidy_version = tidy_version

    def headers(self, directory, argv):
        """The files one compile reads, or None when they cannot be listed."""
        obj = object_of(directory, argv)
        listed = self.ninja.get(obj) if obj else None
        # gcc's list for a file compiled with the precompiled header names
        # that instead of the headers in it, which clang-tidy reads.
        if listed and not any(PRECOMPILED.search(path) for path in listed):
            # A header edited since the object was built may include others now.
            try:
                built = os.stat(obj).st_mtime_ns
            except OSError:
                built = None
            stats = [self.files.get(path) for path in listed]
            if built is not None and all(s is not None and s[0] <= built for s in stats):
                return listed
        run = subprocess.run(without_output(argv) + ["-M"], cwd=directory, capture_output=True,
                             text=True, errors="surrogateescape", check=False)
        if run.returncode != 0:
            return None
        return make_deps(run.stdout, directory)

    def configs(self, path):
        """The .clang-tidy files from the file's folder up to the root."""
        found, folder = [], os.path.dirname(path)
        while True:
            config = os.path.join(folder, ".clang-tidy")
            if os.path.exists(config):
                found.append(config)
            if os.path.samefile(folder, self.root) or os.path.dirname(folder) == folder:
                return found
            folder = os.path.dirname(folder)

    def key(self, unit):
        """The unit's cache key, or None when its inputs cannot all be read."""
        inputs = {unit.path}
        inputs.update(self.configs(unit.path))
        commands = []
        for directory, argv in unit.commands:
            listed = self.headers(directory, argv)
            if listed is None:
                return None
            inputs.update(listed)
            commands.append("\0".join([self.ph(directory)] + [self.ph(a) for a in without_output(argv)]))
        contents = []
        for path in inputs:
            found = self.files.get(path)
            if found is None:
                return None
            contents.append(f"{self.ph(path)}\0{found[1]}")
        h = hashlib.sha256()
        for part in [KEY_SCHEME, self.tidy_version, self.ph(unit.path),
                     *sorted(commands), *sorted(contents)]:
            data = part.encode("utf-8", "surrogateescape")
            h.update(b"%d:" % len(data) + data)
        return h.hexdigest()


class Cache:
    def __init__(self):
        base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
        self.dir = os.path.join(base, "tavolin", "lint")
        self.warned = False

    def has(self, key):
        return os.path.exists(os.path.join(self.dir, key))

    def record(self, key):
        try:
            os.makedirs(self.dir, exist_ok=True)
            fd, temp = tempfile.mkstemp(dir=self.dir, prefix=".new-")
            os.close(fd)
            os.replace(temp, os.path.join(self.dir, key))
        except OSError as error:
            if not self.warned:
                self.warned = True
                print(f"lint: cannot record in {self.dir}: {error}", file=sys.stderr)


def lint(unit, keys, cache):
    """(linted, failed) for one unit."""
    if stopping.is_set():
        return False, True
    key = keys.key(unit) if cache else None
    if key and cache.has(key):
        return False, False
    try:
        run = subprocess.run([TIDY, *EXTRA_ARGS, *unit.tidy_args], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, errors="replace", check=False)
        output, code = run.stdout, run.returncode
    except OSError as error:
        output, code = f"lint: cannot run {TIDY}: {error}\n", 1
    shown = "".join(line for line in output.splitlines(keepends=True)
                    if not GENERATED.match(line.rstrip("\n")))
    if shown:
        with print_lock:
            sys.stdout.write(shown if shown.endswith("\n") else shown + "\n")
            sys.stdout.flush()
    if key and code == 0 and not shown.strip():
        cache.record(key)
    return True, code != 0


def main(argv):
    if len(argv) not in (2, 3):
        fail("usage: scripts/lint BUILD_DIR [JOBS]")
    build = os.path.abspath(argv[1])
    try:
        jobs = int(argv[2]) if len(argv) == 3 and argv[2] else 2
    except ValueError:
        fail(f"JOBS is not a number: {argv[2]}")
    jobs = jobs if jobs > 0 else (os.cpu_count() or 1)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

    try:
        with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
            database = json.load(f)
    except (OSError, ValueError) as error:
        fail(f"no compile database in {argv[1]}: {error}")

    # clang-tidy reads the commands without the precompiled header.
    for entry in database:
        entry["arguments"] = without_precompiled_header(argv_of(entry))
        entry.pop("command", None)
    lint_database = os.path.join(build, "lint")
    try:
        os.makedirs(lint_database, exist_ok=True)
        with open(os.path.join(lint_database, "compile_commands.json"), "w", encoding="utf-8") as f:
            json.dump(database, f, indent=0)
    except OSError as error:
        fail(f"cannot write {lint_database}/compile_commands.json: {error}")

    # Everything the database compiles from our folders: not build/'s generated files.
    ours = re.compile(re.escape(os.path.realpath(root)) + "/(" + FOLDERS + ")/")
    units = {}
    for entry in database:
        if not ours.match(os.path.realpath(entry["file"])):
            continue
        directory = entry["directory"]
        path = os.path.normpath(os.path.join(directory, entry["file"]))
        if path not in units:
            # clang-tidy -p checks the file once under each of its commands.
            units[path] = Unit(path, [], ["-p", lint_database, "--quiet", entry["file"]])
        units[path].commands.append((directory, entry["arguments"]))
    # The fuzz targets: only the clang fuzz tree builds them.
    fuzz = os.path.join(root, "fuzz")
    compiler = shutil.which("clang++-14") or "clang++"
    for name in sorted(os.listdir(fuzz)) if os.path.isdir(fuzz) else []:
        if name.endswith(".cpp"):
            path = os.path.join(fuzz, name)
            flags = ["-std=c++20", f"-I{root}"]
            units[path] = Unit(path, [(root, [compiler, *flags, "-c", path])],
                               ["--quiet", path, "--", *flags])

    cache = None if os.environ.get("TAVOLIN_LINT_CACHE") == "0" else Cache()
    keys = None
    if cache:
        try:
            version = subprocess.run([TIDY, "--version"], capture_output=True, text=True,
                                     check=True).stdout
        except (OSError, subprocess.CalledProcessError) as error:
            fail(f"cannot run {TIDY}: {error}")
        keys = Keys(root, build, version)

    linted = failed = 0
    pool = concurrent.futures.ThreadPoolExecutor(max_workers=jobs)
    try:
        futures = [pool.submit(lint, unit, keys, cache) for unit in units.values()]
        for future in concurrent.futures.as_completed(futures):
            ran, bad = future.result()
            linted += ran
            failed += bad
    except KeyboardInterrupt:
        stopping.set()
        pool.shutdown(wait=False, cancel_futures=True)
        print("lint: interrupted", file=sys.stderr)
        return 130
    pool.shutdown()

    print(f"lint: {len(units)} files, {linted} linted, "
          f"{len(units) - linted} unchanged since a clean pass", file=sys.stderr)
    if failed:
        print(FAILED, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
