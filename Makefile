# The two entry points of the project. Both install what is missing first.
#   make run   build and start the program on the simulated camera
#   make test  build everything and run every test
#   make package  build the Debian package (build/<preset>/zorvane-capture_<version>_<arch>.deb)
PRESET ?= release
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: run test deps build package asan-test bench clean

deps:
	@./tools/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	./$(BUILD)/bin/zorvane-capture

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

package: build
	cmake --build --preset $(PRESET) --target package

# Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS) --target unit_tests
	ctest --test-dir build/asan --output-on-failure -L unit -j $(JOBS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf build
