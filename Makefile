# Entry points for people and CI. Every target installs what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
PREFIX ?= $(HOME)/.vst

FUZZ_SECONDS ?= 600

.PHONY: deps build test demo bench fuzz install package clean

deps:
	@bash scripts/deps.sh

build: deps
	@for p in linux win64 win32; do cmake --preset $$p >/dev/null && cmake --build --preset $$p -j $(JOBS) || exit 1; done

test: deps
	@bash scripts/test.sh

demo: deps
	@bash scripts/demo.sh

# The Linux module into PREFIX (~/.vst unless given: make install PREFIX=/usr/lib/vst).
install: deps
	@cmake --preset linux >/dev/null && cmake --build --preset linux -j $(JOBS) --target plugin_module >/dev/null
	@cmake --install build/linux --prefix "$(PREFIX)" --component module
	@echo "installed into $(PREFIX)"

# The benchmarks, side by side with the ideal loop and a peer; the table also
# goes to out/bench/latest.md.
bench: deps
	@cmake --preset linux >/dev/null && cmake --build --preset linux -j $(JOBS) --target plugin_bench >/dev/null
	@mkdir -p out/bench
	@build/linux/bench/plugin_bench | tee out/bench/latest.md

# Each fuzz target for FUZZ_SECONDS (make test gives them 30 s each).
fuzz: deps
	@cmake --preset fuzz -DFUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null && cmake --build --preset fuzz -j $(JOBS) >/dev/null
	@ctest --preset fuzz

# The Windows modules as zip files with the README, in out/packages.
package: deps
	@bash scripts/package.sh

clean:
	rm -rf build out
