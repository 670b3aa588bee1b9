# The two commands a newcomer needs: `make run` and `make test`. Each installs the Debian packages
# it is missing first (tools/install-deps.sh), then configures and builds into build/.
# `make run` builds only the programs and the demo data; the tests, benchmarks and fuzz targets,
# and their packages, come with the commands that use them.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
JOBS       ?= $(shell nproc)
# Warnings as errors: on in CI (.ci/run), off for users.
PIXVUE_WERROR ?= OFF
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXVUE_WERROR=$(PIXVUE_WERROR)
# Ninja for a new build folder when it is installed, looked up when the command runs (after the
# package install that brings it); an existing folder keeps its generator.
configure_in = cmake -S . -B $(1) $$([ -f $(1)/CMakeCache.txt ] || ! command -v ninja >/dev/null || \
                 echo -G Ninja) $(CMAKE_FLAGS)

.PHONY: all deps configure build run test bench bench-smoke asan fuzz package format format-check \
        clean

all: build

# Every package any command here needs.
deps:
	@bash tools/install-deps.sh run test bench fuzz package format

# A new build folder leaves the tests out, so that configuring needs only what running needs;
# `make test` turns them on, and the folder keeps them from then on.
$(BUILD)/CMakeCache.txt:
	$(call configure_in,$(BUILD)) -DBUILD_TESTING=OFF

configure: $(BUILD)/CMakeCache.txt

# Whatever the build folder is configured for (no package installs).
build: configure
	cmake --build $(BUILD) -j $(JOBS)

run:
	@bash tools/install-deps.sh run
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target pixvue_run
	./$(BUILD)/pixvue

test:
	@bash tools/install-deps.sh run test
	$(call configure_in,$(BUILD)) -DBUILD_TESTING=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# clang-format on every source file, and the check CI runs.
format:
	@bash tools/install-deps.sh format
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	@bash tools/install-deps.sh format
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

# The Debian package, $(BUILD)/pixvue_<version>_<arch>.deb (install it with `sudo apt install ./...`).
package:
	@bash tools/install-deps.sh run package
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && cpack -G DEB

# Speed and memory figures (README, "Performance"): the end-to-end benchmarks offscreen and on
# Xvfb, the peak memory, then the decode against libswscale and memcpy, ending with the ratios.
BENCH_TARGETS := pixvue_bench pixvue_bench_app pixvue_peak_memory pixvue_find_bench
bench:
	@bash tools/install-deps.sh run bench
	$(call configure_in,$(BUILD)) -DPIXVUE_BUILD_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/pixvue_bench_app
	tools/bench-xvfb.sh $(BUILD)
	tools/peak-memory.sh $(BUILD)
	@./$(BUILD)/bench/pixvue_bench
	@./$(BUILD)/bench/pixvue_find_bench --benchmark_repetitions=3

# The finder measured on a labelled corpus of real pictures (tools/corpus/): recall, precision,
# false pictures per MB of each kind of filler, throughput and the targets. The corpus is built
# once per seed and size into $(BUILD)/corpus. EVAL_SCAN=PATH scores another build's finder;
# EVAL_FLAGS=--misses lists every missed picture and false candidate. EVAL_SOURCES=half-a or
# half-b draws on every other picture file only: tune on one half, check on the other.
EVAL_SEED    ?= 1
EVAL_SIZE_MB ?= 150
EVAL_SOURCES ?= all
EVAL_SCAN    ?= $(BUILD)/pixvue-scan
EVAL_FLAGS   ?=
.PHONY: eval
eval:
	@bash tools/install-deps.sh run corpus
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target pixvue-make-corpus pixvue-eval
	$(if $(filter $(BUILD)/pixvue-scan,$(EVAL_SCAN)),cmake --build $(BUILD) -j $(JOBS) --target pixvue-scan)
	bash tools/corpus/eval.sh $(BUILD) $(EVAL_SCAN) $(EVAL_SEED) $(EVAL_SIZE_MB) $(EVAL_SOURCES) \
	  $(EVAL_FLAGS)

# One quick pass of every benchmark, to see that they run; the times mean nothing.
bench-smoke:
	@bash tools/install-deps.sh run bench
	$(call configure_in,$(BUILD)) -DPIXVUE_BUILD_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/pixvue_bench_app --benchmark_min_time=0.01 --benchmark_repetitions=1
	./$(BUILD)/bench/pixvue_bench --benchmark_min_time=0.01 --benchmark_repetitions=1
	PIXVUE_BENCH_MB=16 ./$(BUILD)/bench/pixvue_find_bench --benchmark_min_time=0.01 --benchmark_repetitions=1

# Every test again with AddressSanitizer and UndefinedBehaviorSanitizer, in $(ASAN_BUILD)/.
# intercept_strndup=0: libxkbcommon-x11 hands strndup a buffer without a final zero, which
# strndup allows but the interceptor reports when a test talks to a real X server.
asan:
	@bash tools/install-deps.sh run test
	$(call configure_in,$(ASAN_BUILD)) -DPIXVUE_SANITIZE=ON -DBUILD_TESTING=ON \
	  -DPIXVUE_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_strndup=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

# The libFuzzer targets (clang++), each for FUZZ_SECONDS seconds, in $(FUZZ_BUILD)/.
fuzz:
	@bash tools/install-deps.sh run fuzz
	$(call configure_in,$(FUZZ_BUILD)) -DPIXVUE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)
