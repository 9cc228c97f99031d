# Front door: `make render` and `make test` do all set-up on a fresh Debian 12 machine.
JOBS ?= $(shell nproc)
BUILD ?= build
RELEASE := $(BUILD)/release
ASAN := $(BUILD)/asan
TSAN := $(BUILD)/tsan
BENCH := $(BUILD)/bench
FUZZ := $(BUILD)/fuzz
WINDOWS := $(BUILD)/windows
FUZZ_SECONDS ?= 60

.PHONY: all setup release asan tsan test test-ratio test-release test-asan test-windows windows render bench fuzz clean

all: release

setup:
	@bash scripts/setup.sh

$(RELEASE)/CMakeCache.txt: | setup
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release

$(ASAN)/CMakeCache.txt: | setup
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DSEAVAST_SANITIZE=ON -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"

release: setup $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)

asan: setup $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)

test-release: release
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)

test-asan: asan
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

test: test-ratio test-release test-asan test-windows

# Tests stay lean: at most 0.35 of the product code by line count.
test-ratio:
	bash scripts/test-ratio.sh 0.35

# The Windows x64 plug-in and command-line host, cross-built with mingw-w64 (Seavast.dll, seavast.exe).
windows: setup
	cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DSEAVAST_BUILD_TESTS=OFF
	cmake --build $(WINDOWS) -j $(JOBS)

# Runs the Windows build under Wine against the Linux build; skipped where no cross compiler is installed.
test-windows: release
	@if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then \
		$(MAKE) windows && bash scripts/windows_check.sh $(WINDOWS)/bin $(RELEASE)/bin; \
	else echo "test-windows: no mingw-w64 cross compiler, skipped"; fi

# A dedicated ThreadSanitizer tree for the entry lock, the thread pool and every test that renders
# with several thread counts (named ...ThreadCount) (not part of `make test`).
tsan: setup
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DSEAVAST_TSAN=ON
	cmake --build $(TSAN) -j $(JOBS)
	cd $(TSAN) && ctest --output-on-failure -L 'hostkit|platform'
	cd $(TSAN) && ctest --output-on-failure -R 'ThreadCount'

render: release
	bash scripts/render.sh $(RELEASE)/bin

bench: setup
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DSEAVAST_BUILD_BENCH=ON -DSEAVAST_BUILD_TESTS=OFF
	cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/bin/bench_*; do echo "== $$b"; $$b || exit 1; done

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=Debug -DSEAVAST_FUZZ=ON \
		-DSEAVAST_BUILD_TESTS=OFF -DSEAVAST_BUILD_APPS=OFF
	cmake --build $(FUZZ) -j $(JOBS)
	@for f in $(FUZZ)/bin/fuzz_*; do echo "== $$f"; mkdir -p $(FUZZ)/corpus/$$(basename $$f); \
		$$f -max_total_time=$(FUZZ_SECONDS) $(FUZZ)/corpus/$$(basename $$f) || exit 1; done

clean:
	rm -rf $(BUILD)
