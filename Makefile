# One-word entry points. `make demo` builds and converts the bundled sample; `make check` installs
# what the tests need, builds, and runs the whole suite normally and under ASan + UBSan. On a
# machine without make, `./setup demo` and `./setup check` install it (and the rest) first.

BUILD ?= build
ASAN_BUILD ?= build-asan
MINGW_BUILD ?= build-mingw
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

# The test builds. CI=true makes warnings errors (and a test that misses a tool or font fail
# instead of skipping). Both keep line tables only (-g1), all a failure report needs: the normal
# one compiles the same machine code as the default build in a third less time; the sanitizer one
# stays unoptimised, since -O1 would double the compile time of the test files.
CHECK_FLAGS = -DCOMPILE_FONTS_TESTS=ON -DCOMPILE_FONTS_WERROR=$(if $(filter true,$(CI)),ON,OFF)
NORMAL_FLAGS = -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
ASAN_FLAGS = -DCOMPILE_FONTS_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all build demo check check-full check-normal check-asan check-asan-full asan-build deps test-deps \
  bench fuzz windows check-windows check-browser clean

all: build

build:
	cmake -S . -B $(BUILD) -G Ninja -DCOMPILE_FONTS_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	sh samples/demo.sh $(BUILD)

# Packages the tests need; installed when missing (as root), otherwise named.
deps test-deps:
	sh .ci/install-deps.sh

# Under the sanitizers every test runs, the real-font corpus by every tenth font; check-full
# takes every font there too (a good while longer; not part of CI).
check: test-deps check-normal check-asan
check-full: test-deps check-normal check-asan-full

check-normal:
	cmake -S . -B $(BUILD)-test -G Ninja $(NORMAL_FLAGS) $(CHECK_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(BUILD)-test -j $(JOBS)
	ctest --test-dir $(BUILD)-test --output-on-failure -j $(JOBS)

asan-build:
	cmake -S . -B $(ASAN_BUILD) -G Ninja $(ASAN_FLAGS) $(CHECK_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

check-asan: asan-build
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

check-asan-full: asan-build
	COMPILE_FONTS_CORPUS=full $(SANITIZER_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# A real browser: headless Chromium draws the TrueType output of a few corpus fonts, as a web font at
# its pixel size, against the source's bitmaps (too heavy for make check; its own packages).
check-browser: build
	sh .ci/install-deps.sh browser
	python3 tests/ttf/check_browser.py $(BUILD)

# The Windows programs, cross-built with Debian's MinGW-w64 into $(MINGW_BUILD): the console
# programs varnel.exe and corvane.exe, and varnelw.exe and corvanew.exe, the same as GUI programs.
windows:
	sh .ci/install-deps.sh windows
	cmake -S . -B $(MINGW_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DCOMPILE_FONTS_TESTS=OFF
	cmake --build $(MINGW_BUILD) -j $(JOBS)

# Runs them under wine against the POSIX build: the same files, messages and exit status.
check-windows: windows build
	sh .ci/install-deps.sh wine
	bash tests/windows/wine_smoke.sh --source . --posix-bin $(BUILD) --mingw-build $(MINGW_BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-test $(ASAN_BUILD) $(MINGW_BUILD)

# The packages users install: $(PACKAGE_BUILD)/varnel_<version>_<arch>.deb from a Release build, and
# $(MINGW_BUILD)/varnel-<version>-win64.zip with the Windows programs, README.txt and HTML manual.
PACKAGE_BUILD ?= build-package
.PHONY: package windows-package clean-package
package:
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMPILE_FONTS_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target package

windows-package:
	sh .ci/install-deps.sh windows-package
	$(MAKE) windows
	cmake --build $(MINGW_BUILD) -j $(JOBS) --target package

clean: clean-package
clean-package:
	rm -rf $(PACKAGE_BUILD)

# libFuzzer targets (clang): each runs FUZZ_SECONDS in one process; crashing inputs are kept in
# fuzz/seeds/<target>/, where the replay tests of make check pick them up.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOMPILE_FONTS_TESTS=ON -DCOMPILE_FONTS_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_bdf fuzz_pcf fuzz_lzw fuzz_gzip fuzz_convert fuzz_fon fuzz_ttf
	sh fuzz/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Release timings of both programs side by side with FreeType, FontForge, compress -dc and the
# start-up floor, peak memory, growth, and the micro-benchmarks; see bench/RESULTS.md.
bench:
	sh bench/run.sh
