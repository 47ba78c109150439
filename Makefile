# Entry points for people and CI. Everything installs what it needs first (scripts/bootstrap).
BUILD        ?= build
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
WERROR       ?= ON
FUZZ_SECONDS ?= 30
FUZZ_TARGETS := fuzz-layouts fuzz-preferences fuzz-shortcut fuzz-backup fuzz-property-list \
                fuzz-desktop-entry fuzz-gsettings-picture fuzz-kwin-report fuzz-windows

CMAKE_FLAGS := -DTESSERA_WERROR=$(WERROR)

.PHONY: all bootstrap configure build test test-kwin6 run run-services bench bench-x11 bench-kwin bench-app fuzz fuzz-long mutants asan format format-check clean

all: build

bootstrap:
	@scripts/bootstrap

# The benchmarks are built (not run) with every test build, so they never stop compiling.
configure: bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DTESSERA_BENCH=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The KWin tests against KWin 6 as well: kwin_wayland from a Debian 13 root (made once by
# scripts/kwin6-root, as root), everything else from this system.
KWIN6_ROOT ?= /var/cache/tessera-kwin6
test-kwin6: configure
	scripts/kwin6-root $(KWIN6_ROOT)
	cmake --build $(BUILD) -j $(JOBS) --target tessera-kwin-tests tessera-ui-kwin-tests
	TESSERA_KWIN_ROOT=$(KWIN6_ROOT) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L kwin

# Tessera on $DISPLAY, or on a private desktop (Xvfb, openbox, picom, a tray, two windows)
# when there is none; a screenshot of it lands in $(BUILD)/screenshots.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target tessera tesseractl
	@TESSERA_SCREENSHOT_DIR=$${TESSERA_SCREENSHOT_DIR:-$(BUILD)/screenshots} \
	  scripts/run-desktop $(BUILD)/src/app/tessera

# Only the services (`tesseractl run`: drag-to-snap and the shortcuts, no windows), the same way.
run-services: configure
	cmake --build $(BUILD) -j $(JOBS) --target tesseractl
	@TESSERA_SCREENSHOT_DIR=$${TESSERA_SCREENSHOT_DIR:-$(BUILD)/screenshots} \
	  scripts/run-desktop $(BUILD)/src/cli/tesseractl run

bench: bootstrap
	cmake -S . -B $(BUILD)-bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DTESSERA_TESTS=OFF -DTESSERA_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS) --target tessera-bench
	$(BUILD)-bench/bench/tessera-bench

# Tessera on a private X server: drop and hotkey latencies, an idle minute.
bench-x11: bootstrap
	cmake -S . -B $(BUILD)-bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DTESSERA_TESTS=OFF -DTESSERA_BENCH=ON
	bench/x11-measure $(BUILD)-bench

# Tessera on a headless kwin_wayland: drop and shortcut latencies beside KWin's own times (the
# KWin tests' session, so the development build with tests).
bench-kwin: configure
	bench/kwin-measure $(BUILD)

# The application on a private X server: start-up time, memory beside an empty Qt Quick window,
# the overlay's first frame.
bench-app: bootstrap
	cmake -S . -B $(BUILD)-bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DTESSERA_TESTS=OFF -DTESSERA_BENCH=ON
	bench/app-measure $(BUILD)-bench

# The suite against the deliberately broken copies in tests/mutants/ (slow; not part of CI).
mutants: bootstrap
	scripts/mutants

# Each target runs for FUZZ_SECONDS from the seeds in fuzz/corpus/<name>; what it discovers goes
# to a scratch folder so the checked-in seeds stay small.
fuzz: bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz $(CMAKE_FLAGS) -DTESSERA_FUZZ=ON -DTESSERA_TESTS=OFF -DTESSERA_APP=OFF
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@set -e; for target in $(FUZZ_TARGETS); do \
	  name=$${target#fuzz-}; scratch=$(BUILD)-fuzz/corpus/$$name; mkdir -p $$scratch; \
	  echo "== $$target for $(FUZZ_SECONDS) s"; \
	  $(BUILD)-fuzz/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -print_final_stats=1 $$scratch fuzz/corpus/$$name; \
	done

# Each target until 10 million executions (FUZZ_RUNS) or FUZZ_MAX_SECONDS for a slow one, going
# on from what earlier long runs found; a table of executions, coverage and crashes at the end.
fuzz-long: bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz $(CMAKE_FLAGS) -DTESSERA_FUZZ=ON -DTESSERA_TESTS=OFF -DTESSERA_APP=OFF
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	scripts/fuzz-long $(BUILD)-fuzz $(FUZZ_TARGETS)

# The desktop matrix drives other programs (window managers, GTK) far more than Tessera's own
# code, which the other X11 tests reach as well; it runs once, in `make test`.
asan: bootstrap
	cmake -S . -B $(BUILD)-asan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DTESSERA_SANITIZE=ON -DTESSERA_APP=OFF
	cmake --build $(BUILD)-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD)-asan --output-on-failure -j $(JOBS) -LE matrix

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-asan
