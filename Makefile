# The two commands a fresh clone needs: `make demo` and `make test`. Each installs what it needs.
BUILD      ?= build
TEST_BUILD ?= build-test
FUZZ_BUILD ?= build-fuzz
COVERAGE_BUILD ?= build-coverage
# Seconds each fuzz target runs: briefly in `make test`, longer in `make fuzz`.
FUZZ_TEST_SECONDS ?= 5
FUZZ_SECONDS ?= 300
JOBS       ?= $(shell nproc)
# Tests wait on displays, child programs and Slurm as well as compute: one more than the cores
# keeps both cores busy.
TEST_JOBS  ?= $(shell echo $$(( $$(nproc) + 1 )))
PREFIX     ?= /usr/local

.PHONY: all deps build demo test test-build coverage fuzz fuzz-build bench install clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLIMOR_TESTS=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo.sh $(BUILD)

# Programs into PREFIX/bin, the plug-in and host library into PREFIX/lib, docs and the demo
# database into PREFIX/share.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The whole suite runs in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
$(TEST_BUILD)/build.ninja: | deps
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLIMOR_SANITIZE=ON \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"

test-build: deps $(TEST_BUILD)/build.ninja
	cmake --build $(TEST_BUILD) -j $(JOBS)

test: test-build fuzz-build
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(TEST_JOBS) --timeout 300
	scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_TEST_SECONDS)

# Line and branch coverage of the product per folder: an unoptimised build with gcc's
# instrumentation in a folder of its own runs the whole suite, then gcovr sums it up.
$(COVERAGE_BUILD)/build.ninja: | deps
	cmake -S . -B $(COVERAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g --coverage -fprofile-update=atomic" \
	      -DCMAKE_C_FLAGS_DEBUG="-O0 -g --coverage -fprofile-update=atomic" \
	      -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage

coverage: deps $(COVERAGE_BUILD)/build.ninja
	cmake --build $(COVERAGE_BUILD) -j $(JOBS)
	find $(COVERAGE_BUILD) -name '*.gcda' -delete
	cd $(COVERAGE_BUILD) && ctest -j $(TEST_JOBS) --timeout 300 || echo "Some tests failed: the figures count what ran."
	scripts/coverage.sh $(COVERAGE_BUILD)

# The fuzz targets (fuzz/), built with clang's libFuzzer and sanitizers in a build of their own.
$(FUZZ_BUILD)/build.ninja: | deps
	CXX=clang++ cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug

fuzz-build: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLIMOR_TESTS=OFF -DVELLIMOR_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)
	scripts/bench.sh $(BUILD)-bench

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(FUZZ_BUILD) $(COVERAGE_BUILD) $(BUILD)-bench
