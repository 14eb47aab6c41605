# Tavolin: `make run` starts the synthesizer (`make run ARGS="--audio jack
# song.mid"` passes arguments), `make test` checks the formatting (`make
# format` applies it), builds every configuration (any compiler warning stops
# it), runs every test and `make lint` (clang-tidy, any finding stops it),
# `make bench` runs the benchmarks, `make soak MINUTES=10` plays a stress song
# in the real program (by hand), `make latency` measures note-to-sound latency
# on a private JACK server, of the program and of the LV2 plugin in jalv (`make
# latency LATENCY_ARGS="20 --program headless" LATENCY_PLUGIN_ARGS="20 -- -c
# mode=6"` passes arguments to scripts/latency-check), `make daw-check` plays
# the LV2 instrument in Ardour 7 without a screen and compares its exports
# (`make daw-check DAW_ARGS=--positions` also shows what Ardour sends as
# time:Position), `make install` installs the programs under
# PREFIX and the LV2 plugin under LV2_DIR (~/.lv2, the per-user folder LV2
# hosts search) and `make uninstall` removes them again.
# Each target installs the system packages it needs first (scripts/install-deps):
# those for building and running, and the test tools for the targets that
# need them.

JOBS ?= 2
CMAKE_CONFIGURE = cmake -G Ninja -Wno-dev
# scripts/test takes these (FUZZ_SECONDS: 60 unless given).
export JOBS FUZZ_SECONDS

.PHONY: all deps test-deps release run install uninstall format format-check test test-normal lint test-tsan \
  test-asan test-fuzz test-arm64 bench soak latency daw-check clean

all: release

# What building and running need; the test tools come on top for the targets
# that test, check, format or measure.
deps:
	@bash scripts/install-deps run

test-deps:
	@bash scripts/install-deps test

# The Release build of the three programs and the LV2 plugin.
release: deps
	@$(CMAKE_CONFIGURE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTAVOLIN_WITH_TESTS=OFF >/dev/null
	@cmake --build build/release -j $(JOBS) --target tavolin tavolin-render tavolin-headless tavolin_lv2

run: release
	@build/release/app/tavolin $(ARGS)

PREFIX ?= $(HOME)/.local
LV2_DIR ?= $(HOME)/.lv2

install: release
	@LV2_DIR="$(LV2_DIR)" bash scripts/install build/release "$(PREFIX)"

uninstall:
	@bash scripts/uninstall build/release

# clang-format over every C++ file (.clang-format has the style).
format: test-deps
	@bash scripts/format

format-check: test-deps
	@bash scripts/test format

# Every check (scripts/test): the formatting; the normal build with every
# test; clang-tidy over its sources; ThreadSanitizer with the threaded tests;
# AddressSanitizer+UndefinedBehaviorSanitizer with the engine tests; a
# one-minute run of each fuzz target (FUZZ_SECONDS); the 64-bit ARM cross
# build with the engine tests under qemu and its renders compared byte for
# byte with the normal build's. The stages that do not share a build tree run
# side by side; each can be run alone with its own target below.
test: test-deps
	@bash scripts/install-arm64-deps
	@bash scripts/test

test-normal: test-deps
	@bash scripts/test normal

lint: test-deps
	@bash scripts/test lint

test-tsan: test-deps
	@bash scripts/test tsan

test-asan: test-deps
	@bash scripts/test asan

test-fuzz: test-deps
	@bash scripts/test fuzz

test-arm64: test-deps
	@bash scripts/install-arm64-deps
	@bash scripts/test arm64

# The benchmarks and the soak's tools are built in the release tree, on demand.
bench: test-deps release
	@$(CMAKE_CONFIGURE) -S . -B build/release -DTAVOLIN_WITH_BENCH=ON >/dev/null
	@cmake --build build/release -j $(JOBS) --target tavolin-bench
	build/release/bench/tavolin-bench

# The real program under Xvfb on a private JACK dummy server, MINUTES long,
# every voice busy: underruns, xruns and block render times (scripts/soak).
MINUTES ?= 10
soak: test-deps release
	@$(CMAKE_CONFIGURE) -S . -B build/release -DTAVOLIN_WITH_BENCH=ON >/dev/null
	@cmake --build build/release -j $(JOBS) --target tavolin-jack-xruns
	@bash scripts/soak build/release $(MINUTES)

# Note-on to first sound in one JACK graph, 44100 Hz, period 256
# (scripts/latency-check): the program LATENCY_ARGS names, then the LV2 plugin
# in jalv with LATENCY_PLUGIN_ARGS (skipped when jalv is missing or
# LATENCY_ARGS measures the plugin already).
LATENCY_ARGS ?= 20
LATENCY_PLUGIN_ARGS ?= 20
latency: test-deps release
	@$(CMAKE_CONFIGURE) -S . -B build/release -DTAVOLIN_WITH_BENCH=ON >/dev/null
	@cmake --build build/release -j $(JOBS) --target tavolin-latency-probe
	@bash scripts/latency-check build/release $(LATENCY_ARGS)
	@$(if $(findstring plugin,$(LATENCY_ARGS)),true, \
	  if command -v jalv >/dev/null; then bash scripts/latency-check build/release --program plugin $(LATENCY_PLUGIN_ARGS); \
	  else echo "latency: jalv is missing, the LV2 plugin is not measured (Debian package jalv)"; fi)

# The plugin of the release tree in Ardour 7 on its Dummy backend: exports at
# buffer sizes 64, 256 and 1024 and after reopening, equal sample for sample,
# the note where it belongs (scripts/daw-check; installs Ardour on first use).
DAW_ARGS ?=
daw-check: release
	@bash scripts/install-deps daw
	@bash scripts/daw-check build/release $(DAW_ARGS)

clean:
	rm -rf build
