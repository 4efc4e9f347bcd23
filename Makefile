# ToraVin: two entry points. Both install what is missing (scripts/bootstrap.sh) and build.
#   make run   build and start the desktop program
#   make test  build and run every test: release build, unit tests again under ASan+UBSan,
#              fuzz targets replaying their corpora with a short smoke run
SHELL := /bin/bash
JOBS ?= $(shell nproc)

.PHONY: run demo test bootstrap build asan fuzz bench e2e format clean install

bootstrap:
	@scripts/bootstrap.sh

build: bootstrap
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

run: build
	@scripts/run.sh build/release

demo: build
	@scripts/demo.py build/release

install: build
	cmake --install build/release

test: build
	ctest --test-dir build/release --output-on-failure -j $(JOBS) --timeout 600
	$(MAKE) --no-print-directory asan fuzz

asan: bootstrap
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --test-dir build/asan -L 'unit|faults|ui' -LE e2e --output-on-failure -j $(JOBS) --timeout 600

fuzz: bootstrap
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	scripts/fuzz_smoke.sh build/fuzz

e2e: build
	ctest --test-dir build/release -L e2e --output-on-failure

bench: build
	scripts/run_benchmarks.sh build/release

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
