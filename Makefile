# The two commands a fresh clone needs: `make demo` and `make test`. Each installs what it needs.
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local

.PHONY: all deps build demo test test-build bench install clean

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

test: test-build
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: deps
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLIMOR_TESTS=OFF -DVELLIMOR_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)
	scripts/bench.sh $(BUILD)-bench

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(BUILD)-bench
