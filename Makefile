# Thin wrapper over CMake: `make demo` runs the tour, `make test` runs every
# test beside a throwaway PostgreSQL server (scripts/with-pg.sh starts and
# removes it). Both install missing Debian packages first. `make load` runs the load
# and endurance tests at full size (KEZDCQR_LOAD_SCALE=1, minutes); `make
# fuzz` runs each fuzz target for FUZZ_SECONDS (60) with clang.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

FUZZ_SECONDS ?= 60
KEZDCQR_LOAD_SCALE ?= 1

.PHONY: all deps build demo demo-pg test sanitize-test load fuzz bench clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo.sh $(BUILD)

# The tour, then the same tour over a throwaway PostgreSQL server.
demo-pg: build
	scripts/with-pg.sh scripts/demo.sh $(BUILD)

test: build
	scripts/with-pg.sh sh -c 'cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow'

sanitize-test: deps
	cmake -S . -B $(ASAN_BUILD) -DKEZDCQR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	scripts/with-pg.sh sh -c 'cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow'

load: build
	cd $(BUILD) && KEZDCQR_LOAD_SCALE=$(KEZDCQR_LOAD_SCALE) ctest --output-on-failure -L slow

fuzz:
	scripts/fuzz.sh $(FUZZ_SECONDS)

bench:
	@scripts/install-deps.sh --bench
	cmake -S . -B $(BUILD) -DKEZDCQR_BUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

# The Debian packages libkezdcqr0, libkezdcqr-dev and kezq, in $(BUILD)/packages.
package: build
	cd $(BUILD) && cpack -G DEB

# Install into a staging prefix, build examples/hello against it, make and
# check the packages, build the static library (what CI checks).
install-check: build
	scripts/check-install.sh $(BUILD)
