# Thin driver over CMake. `make` sets up, builds and runs the example tape;
# `make test` runs the whole suite: plain, under the sanitizers, fuzzed, built
# with Clang's C++ library, and the Windows program under Wine.
BUILD       ?= build
BUILD_SAN   ?= build-san
BUILD_FUZZ  ?= build-fuzz
BUILD_WIN   ?= build-windows
BUILD_LIBCXX ?= build-libcxx
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE     ?= examples/demo.tzx

FUZZ_SECONDS ?= 120

.PHONY: all run deps build test test-plain test-san test-fuzz test-libcxx test-windows windows fuzz bench install clean

all: run

deps:
	@./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/reelwright -voc $(EXAMPLE) $(BUILD)/demo.voc
	$(BUILD)/reelwright -one $(EXAMPLE)

test: deps test-plain test-san test-libcxx test-windows test-fuzz

test-plain:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE wine

test-san:
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DREELWRIGHT_SANITIZE=ON -DREELWRIGHT_BENCH=OFF
	cmake --build $(BUILD_SAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS) -LE wine

# Clang with its own C++ library, libc++ (the one of macOS): everything built
# and the whole suite run. GoogleTest is built from its sources when the
# installed one is built for GNU's C++ library.
test-libcxx:
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_LIBCXX) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS=-stdlib=libc++ -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++
	cmake --build $(BUILD_LIBCXX) -j $(JOBS)
	ctest --test-dir $(BUILD_LIBCXX) --output-on-failure -j $(JOBS) -LE wine

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
	$(BUILD_FUZZ)/fuzz/make_seeds $(BUILD_FUZZ)/seeds examples/*.tzx $(filter-out %.md,$(wildcard ../shared/samples/*))
	$(BUILD_FUZZ)/fuzz/fuzz_run -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	  -artifact_prefix=$(BUILD_FUZZ)/ $(BUILD_FUZZ)/corpus $(BUILD_FUZZ)/seeds fuzz/corpus

fuzz: FUZZ_SECONDS = 1800
fuzz: test-fuzz

# The Windows program, cross-built with MinGW-w64: one .exe that needs no DLL
# beside it (only the system's own, checked here).
windows: deps
	cmake -S . -B $(BUILD_WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DREELWRIGHT_TESTS=OFF -DREELWRIGHT_BENCH=OFF
	cmake --build $(BUILD_WIN) -j $(JOBS)
	scripts/check-windows-dlls $(BUILD_WIN)/reelwright.exe

# The end-to-end cases with the Windows program under Wine, compared with the
# Linux program's results; one Wine server serves every run.
test-windows: windows
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target reelwright test_wine
	REELWRIGHT_WINDOWS_EXE=$(abspath $(BUILD_WIN))/reelwright.exe scripts/with-wine $(abspath $(BUILD_WIN))/wine \
	  ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L wine

bench: build
	$(BUILD)/bench/bench_run $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ) $(BUILD_LIBCXX) $(BUILD_WIN)
