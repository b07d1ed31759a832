# The two commands of the project: `make test` and `make demo`.
BUILD ?= build
RELEASE_BUILD ?= build-release
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps configure build release test demo screenshots install fuzz clean

all: build

deps:
	scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_WERROR=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program as a Release build (-O3) makes it, in $(RELEASE_BUILD)/, with warnings as errors:
# the optimizer of some compilers warns of its own. The tests run on the build above.
release: deps
	cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWELL_WERROR=ON
	cmake --build $(RELEASE_BUILD) -j $(JOBS) --target tarnwell

test: build release
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	$(BUILD)/bin/tarnwell demo

# Every window, dialog and picture of the desktop front end, drawn offscreen, as PNG files.
screenshots: build
	$(BUILD)/bin/screenshots $(BUILD)/screenshots

# The Release build of the program with its data files, manual page, shell completions and
# systemd user unit, under $(PREFIX); DESTDIR=/some/folder puts the tree there instead of /.
install: release
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_BUILD) --prefix "$(PREFIX)"

# Fuzz targets with libFuzzer and sanitizers, in build-fuzz/; run one with
#   build-fuzz/bin/NAME -max_total_time=600 fuzz/corpus/NAME
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_FUZZ=ON \
		-DTARNWELL_WERROR=ON
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf $(BUILD) $(RELEASE_BUILD)
