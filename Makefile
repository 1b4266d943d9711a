# Entry points for people and CI. Every target installs what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
PREFIX ?= $(HOME)/.vst

.PHONY: deps build test demo bench fuzz install package clean

deps:
	@bash scripts/deps.sh

build: deps
	@for p in linux win64 win32; do cmake --preset $$p >/dev/null && cmake --build --preset $$p -j $(JOBS) || exit 1; done

test: deps
	@bash scripts/test.sh

clean:
	rm -rf build out
