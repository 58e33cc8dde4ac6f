# Entry points for people and CI. Every target bootstraps first, so a fresh Debian 12 machine
# needs nothing but `make`.
JOBS      ?= $(shell nproc)
BUILD     ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# Seconds each fuzz target runs under `make fuzz` (FUZZ_SECONDS is the older name).
FUZZ_SECONDS ?= 30
FUZZ_S ?= $(FUZZ_SECONDS)
CMAKE_ARGS ?=
# Where `make install` puts the programs (DESTDIR is honoured too, for packaging).
PREFIX    ?= /usr/local

.PHONY: all bootstrap configure build install run test test-plain asan bench fuzz format clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESKOR_WITH_GUI=ON $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The main job: the window with the demonstration database. Without a display the window is
# drawn offscreen into $(BUILD)/keskor-window.png and the program ends.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		$(BUILD)/app/keskor --demo; \
	else \
		QT_QPA_PLATFORM=offscreen $(BUILD)/app/keskor --demo --screenshot $(BUILD)/keskor-window.png; \
	fi

test-plain: build
	@bash scripts/run-tests.sh $(BUILD)

asan: bootstrap
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESKOR_SANITIZE=ON \
		-DKESKOR_BUILD_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@bash scripts/run-tests.sh $(ASAN_BUILD)

test: test-plain asan

bench: build
	@bash scripts/run-bench.sh $(BUILD)

fuzz: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKESKOR_BUILD_FUZZ=ON -DKESKOR_BUILD_TESTS=OFF -DKESKOR_BUILD_BENCH=OFF \
		-DKESKOR_WITH_GUI=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	@FUZZ_SECONDS=$(FUZZ_S) bash scripts/run-fuzz.sh $(FUZZ_BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
