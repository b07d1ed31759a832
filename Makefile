# The two commands of the project: `make test` and `make demo`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test demo clean

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

clean:
	rm -rf $(BUILD)
