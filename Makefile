# Thin driver over CMake. `make` sets up, builds and runs the example tape;
# `make test` runs the whole suite: plain, under the sanitizers, fuzzed, built
# with Clang's C++ library, the Windows program under Wine, and the web page
# in headless Chromium.
BUILD       ?= build
BUILD_SAN   ?= build-san
BUILD_FUZZ  ?= build-fuzz
BUILD_WIN   ?= build-windows
BUILD_LIBCXX ?= build-libcxx
BUILD_WEB   ?= build-web
BUILD_EMSCRIPTEN ?= build-emscripten
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE     ?= examples/demo.tzx

FUZZ_SECONDS ?= 120

.PHONY: all run deps build test test-plain test-san test-fuzz test-libcxx test-windows test-web windows web web-page fuzz bench bench-web install clean

all: run

deps:
	@./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/reelwright -voc $(EXAMPLE) $(BUILD)/demo.voc
	$(BUILD)/reelwright -one $(EXAMPLE)

test: deps test-plain test-san test-libcxx test-windows test-fuzz test-web

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
	$(BUILD_FUZZ)/fuzz/make_seeds $(BUILD_FUZZ)/seeds examples/*.tzx $(filter-out %.md,$(wildcard ../shared/samples/*.*))
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

# The web page, static files only, in $(BUILD_WEB) (the CMake tree beside it).
# Emscripten's tools run on Node.js; one from elsewhere than Debian finds
# Emscripten's own modules (acorn) through NODE_PATH.
EMSDK_NODE_PATH = $(if $(NODE_PATH),$(NODE_PATH):)/usr/share/nodejs
web: deps web-page

web-page:
	@command -v emcmake >/dev/null || { echo "make web: Emscripten is not installed (scripts/install-deps installs it)"; exit 1; }
	NODE_PATH=$(EMSDK_NODE_PATH) emcmake cmake -S . -B $(BUILD_EMSCRIPTEN) -DCMAKE_BUILD_TYPE=Release \
	  -DREELWRIGHT_TESTS=OFF -DREELWRIGHT_BENCH=OFF -DREELWRIGHT_WEB_OUT=$(abspath $(BUILD_WEB))
	NODE_PATH=$(EMSDK_NODE_PATH) cmake --build $(BUILD_EMSCRIPTEN) -j $(JOBS)

# The page in headless Chromium against the program's own output, with the
# screenshots in $(BUILD_EMSCRIPTEN)/screens. Without Emscripten, Chromium or
# Node.js the tests skip and say why.
test-web:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target reelwright
	@if command -v emcmake >/dev/null; then $(MAKE) --no-print-directory web-page; \
	  else echo "test-web: Emscripten is not installed: the page is not built, its tests skip"; fi
	@if command -v node >/dev/null; then \
	  REELWRIGHT_WEB=$$(command -v emcmake >/dev/null && echo $(abspath $(BUILD_WEB)) || echo none) \
	  REELWRIGHT=$(abspath $(BUILD))/reelwright REELWRIGHT_SHOTS=$(abspath $(BUILD_EMSCRIPTEN))/screens \
	  node --test tests/web/; else echo "test-web: skipped: Node.js is not installed"; fi

bench: build
	$(BUILD)/bench/bench_run $(BUILD)

# The web page's size, readiness, decoding speed and CPU while playing.
bench-web: build web-page
	node bench/web.mjs $(BUILD_WEB) $(BUILD)/reelwright

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ) $(BUILD_LIBCXX) $(BUILD_WIN) $(BUILD_WEB) $(BUILD_EMSCRIPTEN)
