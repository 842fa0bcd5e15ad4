# pink: the two commands a newcomer needs are `make demo` and `make test`.
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all setup build win32 win64 asan test check wintest wintest-run demo receipt-picture bench install deb win32-zip fuzz fuzz-build clean

all: build

setup:
	@scripts/setup

build: setup
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS)

win32: setup
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS)

# The 64-bit Windows build: the test vehicle Wine runs (the 32-bit build is
# the product).
win64: setup
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j$(JOBS)

asan: setup
	cmake --preset linux-asan >/dev/null
	cmake --build --preset linux-asan -j$(JOBS)

# Builds every target, checks the Windows export tables of both Windows
# builds, runs every Linux test under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the Windows build under Wine where
# Wine is installed (scripts/setup installs it).
test: build win32 win64 asan fuzz-build
	scripts/check-exports
	OBJDUMP=x86_64-w64-mingw32-objdump scripts/check-exports build/win64/bin
	scripts/check-exports --self-test
	ctest --preset linux-asan -j$(JOBS) -LE wintest
	scripts/fuzz --smoke --no-build
	@if command -v wine >/dev/null; then $(MAKE) --no-print-directory wintest-run; \
	else echo "wintest: Wine is not installed; the Windows build was not run"; fi

# The Windows build (64-bit) under Wine: one Wine prefix per run under
# build/wine, COM ports mapped to pseudo-terminals.
wintest: win64 asan wintest-run

wintest-run:
	rm -rf build/wine
	ctest --preset linux-asan -j$(JOBS) -L wintest

# The fuzz targets (clang, libFuzzer, AddressSanitizer and UBSan).
fuzz-build: setup
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j$(JOBS)

# Every fuzz target for FUZZ_SECONDS seconds on a scratch copy of its seeds;
# `make test` runs each for 2 seconds as a smoke check.
FUZZ_SECONDS ?= 60
fuzz: fuzz-build
	scripts/fuzz --no-build --seconds $(FUZZ_SECONDS)

# The Linux build's unit and integration tests under the sanitizers, without
# the Windows build (wintest) and the fuzzers: the quick check before a commit.
check: setup
	cmake --preset linux-asan >/dev/null
	cmake --build --preset linux-asan -j$(JOBS)
	ctest --preset linux-asan -j$(JOBS) -LE 'wintest|fuzz'

# Only what the demo runs: the programs, libraries and virtual devices it uses.
DEMO_TARGETS := mailbox pds vdisplay printer vprinter rcptlib XOposPrint drawerio vdrawer
demo: setup
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS) --target $(DEMO_TARGETS)
	scripts/demo

# The picture of the receipt in the README: the demo's receipt as the virtual
# printer drew it (build/demo/paper.png), copied to docs/receipt.png.
receipt-picture: demo
	cp build/demo/paper.png docs/receipt.png
	@echo "docs/receipt.png"

# make install PREFIX=/opt/pink (default /usr/local); DESTDIR is honoured.
PREFIX ?= /usr/local
install: build
	cmake --install build/linux --prefix $(PREFIX)

# The Debian package of the Linux build, in build/linux/packages/.
deb: build
	cd build/linux && cpack -G DEB
	@ls build/linux/packages/*.deb

# The 32-bit Windows build zipped for a terminal, in build/win32/.
win32-zip: win32
	scripts/win32-zip build/win32/bin build/win32/pink-win32.zip

bench: build
	@for b in build/linux/bench/*; do [ -x "$$b" ] && "$$b" --benchmark_min_time=0.2 || true; done

clean:
	rm -rf build
