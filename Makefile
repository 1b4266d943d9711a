# Entry points for people and CI. Every target installs what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)

FUZZ_SECONDS ?= 600

.PHONY: deps deps-demo build test demo bench fuzz install uninstall deb package clean

# Everything: the demo's packages and the tests' toolchain.
deps:
	@bash scripts/deps.sh test

# Only what building the Linux modules and vstrun, and rendering, need.
deps-demo:
	@bash scripts/deps.sh demo

build: deps
	@for p in linux win64 win32; do cmake --preset $$p >/dev/null && cmake --build --preset $$p -j $(JOBS) || exit 1; done

test: deps
	@bash scripts/test.sh

demo: deps-demo
	@bash scripts/demo.sh

# Every Linux format, stripped, into ~/.vst, ~/.lv2, ~/.clap and ~/.vst3, or
# with PREFIX into PREFIX/lib/vst, lib/lv2, lib/clap, lib/vst3 and vstrun into
# PREFIX/bin; built in build/demo. Uninstall with the same PREFIX removes only
# what install put there.
install: deps-demo
	@bash scripts/install.sh install

uninstall:
	@bash scripts/install.sh uninstall

# The Debian package of every Linux format and vstrun, in out/packages.
deb: deps
	@bash scripts/deb.sh

# The benchmarks, side by side with the ideal loop and a peer, then each
# further format's beside the VST 2.4 module; the tables also go to
# out/bench/latest.md.
bench: deps
	@bash scripts/bench.sh

# Each fuzz target for FUZZ_SECONDS (make test gives them 30 s each).
fuzz: deps
	@cmake --preset fuzz -DFUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null && cmake --build --preset fuzz -j $(JOBS) >/dev/null
	@ctest --preset fuzz

# One zip per Windows architecture with every format, in out/packages.
package: deps
	@bash scripts/package.sh

clean:
	rm -rf build out
