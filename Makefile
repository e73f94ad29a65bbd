SHELL := /bin/bash

# The two commands of the README: `make run` and `make test`. Each installs
# what is missing, configures and builds into build/, then runs.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
ARM64_BUILD ?= build-arm64
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

.PHONY: all deps configure build run test bench fuzz check asan-test e2e screenshot clean format format-check tidy

all: build

deps:
	@bash .ci/deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# `run` builds only what it starts: the calculator, the help viewer it opens
# for F1 and the help file beside them. A new user need not wait for every
# test and benchmark to compile first; `make test` still builds everything.
RUN_TARGETS = qz docview qz_help

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS)
	./$(BUILD)/src/app/qz

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; "$$b" --benchmark_min_time=0.2 || exit 1; \
	done

# Every test again with AddressSanitizer and UndefinedBehaviorSanitizer; the
# one leak inside Qt itself that LeakSanitizer finds is in tests/lsan.supp.
asan-test: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZ_SANITIZE=ON -DQZ_WERROR=ON -DQZ_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --timeout 900 -j $(JOBS)

# Each libFuzzer target for FUZZ_SECONDS, starting from its seed corpus;
# fails on any crash or sanitizer report (see tools/run-fuzz).
fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_FUZZ=ON -DQZ_WERROR=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) tools/run-fuzz $(FUZZ_BUILD)

# A real session in a real window under Xvfb, driven with xdotool.
e2e: build
	tools/e2e-test $(BUILD)/src/app/qz

# clang-format 14 with the root .clang-format over every tracked C++ file.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)
format: deps
	clang-format-14 -i $(FORMAT_FILES)

format-check: deps
	clang-format-14 --dry-run --Werror $(FORMAT_FILES)

# Every word-size rule against C++'s own fixed-width integers, a million
# random cases per width and rule, the rules alone
# (tests/wide/word_size_check.cpp) and through the machine's operations
# (tests/calcmach/machine_word_check.cpp); ctest runs only a small sample.
.PHONY: word-size-check
word-size-check: configure
	cmake --build $(BUILD) -j $(JOBS) --target word_size_check machine_word_check
	./$(BUILD)/tests/wide/word_size_check
	./$(BUILD)/tests/calcmach/machine_word_check

# The float against the x87 (tests/calcmach/test_float_x87.cpp) with ten
# million operands per operation, in two processes at once; a plain build,
# neither under the sanitizers nor under an emulator.
X87_OPERANDS ?= 10000000
X87_FIRST = FloatX87.Texts:FloatX87.ConversionsAndComparisons
.PHONY: float-x87
float-x87: configure
	cmake --build $(BUILD) -j $(JOBS) --target test_float_x87
	@pids=""; n=0; for f in '$(X87_FIRST)' '-$(X87_FIRST)'; do \
	  QZ_X87_OPERANDS=$(X87_OPERANDS) $(BUILD)/tests/calcmach/test_float_x87 --gtest_filter="$$f" \
	    > $(BUILD)/float-x87-$$n.log 2>&1 & pids="$$pids $$!"; n=$$((n + 1)); \
	done; status=0; for p in $$pids; do wait $$p || status=1; done; \
	grep -h -v '^\[\|^$$\|^Running\|^Note' $(BUILD)/float-x87-*.log; exit $$status

# The Qt-free libraries, their tests and qzcalc cross-built for arm64 with
# Debian's cross compiler and multiarch libraries, the tests (qzcalc's too)
# run under qemu-aarch64. `.ci/deps arm64` installs what it needs.
.PHONY: test-arm64
test-arm64:
	@bash .ci/deps arm64
	cmake -S . -B $(ARM64_BUILD) -G Ninja --toolchain cmake/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_UI=OFF -DQZ_BUILD_BENCH=OFF -DQZ_WERROR=ON
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	cd $(ARM64_BUILD) && ctest --output-on-failure --timeout 1200 -j $(JOBS)


# clang-tidy 14 with the root .clang-tidy over every C++ source of src/, on
# the build's compile commands; any finding fails. About five minutes on two
# cores.
tidy: build
	run-clang-tidy-14 -p $(BUILD) -j $(JOBS) -quiet '$(CURDIR)/src/.*\.cpp$$'


check: format-check tidy asan-test fuzz e2e package-check word-size-check float-x87 test-arm64

# The Debian package build/zentabula_<version>_amd64.deb (CPack), with the
# programs under /usr; the build is configured for that prefix first.
.PHONY: package package-check
package: configure
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(BUILD) -j $(JOBS) --target package

# The package's files, lintian, the validators and the unpacked programs
# (see tools/package-check).
package-check: package
	tools/package-check $(BUILD)

# docs/screenshot.png and docs/screenshot-bits.png for the README: the
# calculator on a virtual screen after a short hexadecimal calculation, then
# with its bits panel open.
screenshot: build
	tools/screenshot $(BUILD)/src/app/qz docs/screenshot.png docs/screenshot-bits.png

# Start-up time and memory of qz against a bare Qt window of the same shape.
.PHONY: bench-startup
bench-startup: build
	tools/bench-startup $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(ARM64_BUILD)
