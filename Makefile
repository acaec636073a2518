# Quick start: `make demo` starts the updater against the emulated hub, `make test` runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build test demo run bench clean

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	./$(BUILD)/tools/demo/hidiap-demo

run: build
	./$(BUILD)/app/hidiap

bench: build
	./scripts/run-benchmarks $(BUILD)

clean:
	rm -rf $(BUILD)
