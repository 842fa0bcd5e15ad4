# pink: the two commands a newcomer needs are `make demo` and `make test`.
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all setup build win32 asan test demo bench clean

all: build

setup:
	@scripts/setup

build: setup
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS)

win32: setup
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS)

asan: setup
	cmake --preset linux-asan >/dev/null
	cmake --build --preset linux-asan -j$(JOBS)

# Builds both targets, checks the Windows export tables, and runs every Linux
# test under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build win32 asan
	scripts/check-exports
	scripts/check-exports --self-test
	ctest --preset linux-asan -j$(JOBS)

demo: build
	scripts/demo

bench: build
	@for b in build/linux/bench/*; do [ -x "$$b" ] && "$$b" --benchmark_min_time=0.2 || true; done

clean:
	rm -rf build
