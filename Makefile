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
