# The two commands a newcomer needs: `make run` and `make test`. Both install any missing
# Debian packages first (tools/install-deps.sh), then configure and build into build/.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
JOBS       ?= $(shell nproc)
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps configure build run test bench asan fuzz format clean

all: build

deps:
	@bash tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	./$(BUILD)/pixvue

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

# The Debian package, $(BUILD)/pixvue_<version>_<arch>.deb (install it with `sudo apt install ./...`).
.PHONY: package
package: deps build
	cd $(BUILD) && cpack -G DEB

# Speed and memory figures (README, "Performance"): the end-to-end benchmarks offscreen and on
# Xvfb, the peak memory, then the decode against libswscale and memcpy, ending with the ratios.
BENCH_TARGETS := pixvue_bench pixvue_bench_app pixvue_peak_memory
bench: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/pixvue_bench_app
	tools/bench-xvfb.sh $(BUILD)
	tools/peak-memory.sh $(BUILD)
	@./$(BUILD)/bench/pixvue_bench

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
eval: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target pixvue-make-corpus pixvue-eval
	$(if $(filter $(BUILD)/pixvue-scan,$(EVAL_SCAN)),cmake --build $(BUILD) -j $(JOBS) --target pixvue-scan)
	bash tools/corpus/install-picture-packages.sh
	bash tools/corpus/eval.sh $(BUILD) $(EVAL_SCAN) $(EVAL_SEED) $(EVAL_SIZE_MB) $(EVAL_SOURCES) \
	  $(EVAL_FLAGS)

# One quick pass of every benchmark, to see that they run; the times mean nothing.
.PHONY: bench-smoke
bench-smoke: configure
	cmake --build $(BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/pixvue_bench_app --benchmark_min_time=0.01 --benchmark_repetitions=1
	./$(BUILD)/bench/pixvue_bench --benchmark_min_time=0.01 --benchmark_repetitions=1

# Every test again with AddressSanitizer and UndefinedBehaviorSanitizer, in $(ASAN_BUILD)/.
# intercept_strndup=0: libxkbcommon-x11 hands strndup a buffer without a final zero, which
# strndup allows but the interceptor reports when a test talks to a real X server.
asan: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXVUE_SANITIZE=ON \
	  -DPIXVUE_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_strndup=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

# The libFuzzer targets (clang++), each for FUZZ_SECONDS seconds, in $(FUZZ_BUILD)/.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXVUE_FUZZ=ON \
	  -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)
