# The two commands of the project: `make test` and `make demo`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test demo fuzz clean

all: build

deps:
	scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	$(BUILD)/bin/tarnwell demo

# Fuzz targets with libFuzzer and sanitizers, in build-fuzz/; run one with
#   build-fuzz/bin/NAME -max_total_time=600 fuzz/corpus/NAME
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf $(BUILD)
