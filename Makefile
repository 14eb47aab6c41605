# Tavolin: `make run` starts the synthesizer (`make run ARGS="--audio jack
# song.mid"` passes arguments), `make test` checks the formatting (`make
# format` applies it), builds every configuration (any compiler warning stops
# it), runs every test and `make lint` (clang-tidy, any finding stops it), `make bench` runs the benchmarks, `make soak MINUTES=10`
# plays a stress song in the real program (by hand), `make install` installs
# the programs under PREFIX and `make uninstall` removes them again.
# Each target installs the system packages it needs first (scripts/install-deps).

JOBS ?= 2
CMAKE_CONFIGURE = cmake -G Ninja -Wno-dev
CTEST = ctest --output-on-failure --no-tests=error -j $(JOBS)
# The test builds treat warnings as errors; release, run and install do not.
WERROR = -DTAVOLIN_WERROR=ON
CONFIGURE_TEST = $(CMAKE_CONFIGURE) -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)

.PHONY: all deps release run install uninstall format format-check test test-normal lint test-tsan test-asan test-fuzz test-arm64 bench soak clean

all: release

deps:
	@bash scripts/install-deps

# The Release build of the two programs (tests and benchmarks are built by
# their own targets).
release: deps
	@$(CMAKE_CONFIGURE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build/release -j $(JOBS) --target tavolin tavolin-render

run: release
	@build/release/app/tavolin $(ARGS)

PREFIX ?= $(HOME)/.local

install: release
	@bash scripts/install build/release "$(PREFIX)"

uninstall:
	@bash scripts/uninstall build/release

# clang-format over every C++ file (.clang-format has the style).
format: deps
	@bash scripts/format

format-check: deps
	bash scripts/format --check

# The formatting; normal build with every test; clang-tidy over its sources;
# ThreadSanitizer build with the threaded tests; AddressSanitizer+
# UndefinedBehaviorSanitizer build with the engine tests; a one-minute run of
# each fuzz target; the 64-bit ARM cross build.
test: deps format-check test-normal lint test-tsan test-asan test-fuzz test-arm64
	@echo "make test: all configurations passed"

test-normal:
	$(CONFIGURE_TEST)
	cmake --build build/test -j $(JOBS)
	cd build/test && QT_QPA_PLATFORM=offscreen $(CTEST)

# clang-tidy (.clang-tidy's checks) over our sources, compiled as the test
# tree's compile database says, with its Qt code generated.
lint: deps
	$(CONFIGURE_TEST)
	cmake --build build/test -j $(JOBS) --target autogen
	bash scripts/lint build/test $(JOBS)

test-tsan:
	$(CMAKE_CONFIGURE) -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLIN_SANITIZE=thread $(WERROR) \
	  -DTAVOLIN_WITH_UI=OFF -DTAVOLIN_WITH_BENCH=OFF
	cmake --build build/tsan -j $(JOBS)
	cd build/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $(CTEST) -L threaded

test-asan:
	$(CMAKE_CONFIGURE) -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLIN_SANITIZE=address $(WERROR) \
	  -DTAVOLIN_WITH_UI=OFF -DTAVOLIN_WITH_BENCH=OFF
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) -L engine

# The MIDI file converter and the modulator loader under libFuzzer (clang,
# ASan+UBSan), seeded with the test files; new finds stay in build/fuzz/.
FUZZ_SECONDS ?= 60
test-fuzz:
	CC=clang CXX=clang++ $(CMAKE_CONFIGURE) -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLIN_FUZZ=ON $(WERROR)
	cmake --build build/fuzz -j $(JOBS)
	mkdir -p build/fuzz/corpus build/fuzz/wave-corpus
	build/fuzz/fuzz/convert_smf_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=build/fuzz/ \
	  build/fuzz/corpus tests/midi/data
	build/fuzz/fuzz/modulator_file_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=build/fuzz/ \
	  build/fuzz/wave-corpus tests/spectral/data

# The engine, player and offline renderer cross-built for 64-bit ARM, their
# tests run under qemu-user, and songs rendered by this build and by the
# normal build's renderer compared byte for byte.
test-arm64: deps
	@bash scripts/install-arm64-deps
	$(CONFIGURE_TEST)
	cmake --build build/test -j $(JOBS) --target tavolin-render
	$(CMAKE_CONFIGURE) -S . -B build/arm64 -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DTAVOLIN_WITH_UI=OFF -DTAVOLIN_WITH_BENCH=OFF \
	  -DTAVOLIN_HOST_RENDER=$(CURDIR)/build/test/tools/tavolin-render
	cmake --build build/arm64 -j $(JOBS)
	cd build/arm64 && $(CTEST) -L engine

bench: release
	@cmake --build build/release -j $(JOBS) --target tavolin-bench
	build/release/bench/tavolin-bench

# The real program under Xvfb on a private JACK dummy server, MINUTES long,
# every voice busy: underruns, xruns and block render times (scripts/soak).
MINUTES ?= 10
soak: release
	@cmake --build build/release -j $(JOBS) --target tavolin-jack-xruns
	@bash scripts/soak build/release $(MINUTES)

clean:
	rm -rf build
