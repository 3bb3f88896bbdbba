# Thin driver over CMake. `make` sets up, builds and runs the example tape;
# `make test` runs the whole suite, plain and under the sanitizers.
BUILD       ?= build
BUILD_SAN   ?= build-san
BUILD_FUZZ  ?= build-fuzz
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE     ?= examples/demo.tzx

.PHONY: all run deps build test test-plain test-san fuzz-run bench install clean

all: run

deps:
	@./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/reelwright -voc $(EXAMPLE) $(BUILD)/demo.voc
	$(BUILD)/reelwright -one $(EXAMPLE)

test: deps test-plain test-san

test-plain:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-san:
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DREELWRIGHT_SANITIZE=ON -DREELWRIGHT_BENCH=OFF
	cmake --build $(BUILD_SAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/bench_convert

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
