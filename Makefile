# Thin driver over CMake. `make` sets up, builds and runs the example tape;
# `make test` runs the whole suite, plain and under the sanitizers.
BUILD       ?= build
BUILD_SAN   ?= build-san
BUILD_FUZZ  ?= build-fuzz
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE     ?= examples/demo.tzx

FUZZ_SECONDS ?= 120

.PHONY: all run deps build test test-plain test-san test-fuzz fuzz bench install clean

all: run

deps:
	@./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/reelwright -voc $(EXAMPLE) $(BUILD)/demo.voc
	$(BUILD)/reelwright -one $(EXAMPLE)

test: deps test-plain test-san test-fuzz

test-plain:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-san:
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DREELWRIGHT_SANITIZE=ON -DREELWRIGHT_BENCH=OFF
	cmake --build $(BUILD_SAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

# A bounded fuzz run: every input runs "-info", "-one -x" and a conversion
# in-process under AddressSanitizer and UndefinedBehaviorSanitizer. It starts
# from the example tapes, the tapes the tests build and the kept corpus, and
# fails on the first crash, leak, hang (10 s) or sanitizer report.
test-fuzz:
	CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREELWRIGHT_FUZZ=ON \
	  -DREELWRIGHT_SANITIZE=ON -DREELWRIGHT_TESTS=OFF -DREELWRIGHT_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz_run make_seeds
	rm -rf $(BUILD_FUZZ)/corpus $(BUILD_FUZZ)/seeds
	mkdir -p $(BUILD_FUZZ)/corpus $(BUILD_FUZZ)/seeds
	$(BUILD_FUZZ)/fuzz/make_seeds $(BUILD_FUZZ)/seeds examples/*.tzx
	$(BUILD_FUZZ)/fuzz/fuzz_run -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	  -artifact_prefix=$(BUILD_FUZZ)/ $(BUILD_FUZZ)/corpus $(BUILD_FUZZ)/seeds fuzz/corpus

fuzz: FUZZ_SECONDS = 1800
fuzz: test-fuzz

bench: build
	$(BUILD)/bench/bench_run $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
