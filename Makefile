# Front door over CMake: `make run` builds the program, its help pages and the sample
# movie only, and starts TALVERN; `make test` builds everything and runs every test
# twice, plainly and under AddressSanitizer + UndefinedBehaviorSanitizer.
# `make fuzz` builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS.
JOBS    ?= $(shell nproc)
RELEASE := build/release
ASAN    := build/asan
FUZZ    := build/fuzz
FUZZ_SECONDS ?= 60
CTEST   := ctest --output-on-failure -j$(JOBS) --timeout 600
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:suppressions=$(CURDIR)/tests/sanitizer/asan.supp \
           LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0 \
           UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all build asan run test test-release test-asan bench bench-compare fuzz fuzz-deps clean

all: build

$(RELEASE)/build.ninja:
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERN_SANITIZE=ON -DTALVERN_BENCH=OFF

build: $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j$(JOBS)

asan: $(ASAN)/build.ninja
	cmake --build $(ASAN) -j$(JOBS)

# Only what the first start needs: the tests and benchmarks take many times as long.
run: $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j$(JOBS) --target talvern talvern_sample
	$(RELEASE)/app/talvern $(RELEASE)/sample/sample.avi

test-asan: asan
	cd $(ASAN) && $(SAN_ENV) $(CTEST)

test-release: build
	cd $(RELEASE) && $(CTEST)

# The sanitizer run comes first so that the output ends with the plain run's summary.
test: test-asan test-release

bench: build
	cmake --build $(RELEASE) -j$(JOBS) --target all

# The conversion pipeline against ffmpeg on the same files (see docs/PERFORMANCE.md).
bench-compare: build
	bench/compare/run

# Everything instrumented for coverage, AddressSanitizer and UndefinedBehaviorSanitizer;
# only the fuzz targets and their seed corpus are built.
fuzz-deps:
	scripts/install-deps --fuzz

$(FUZZ)/build.ninja: | fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTALVERN_SANITIZE=ON -DTALVERN_FUZZ=ON -DTALVERN_BENCH=OFF

fuzz: fuzz-deps $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j$(JOBS) --target fuzz_all
	tests/fuzz/run $(FUZZ) $(FUZZ_SECONDS)

clean:
	rm -rf build
