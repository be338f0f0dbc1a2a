# Two commands do everything on a fresh Debian machine:
#   make demo   builds the Linux flavour and runs the main job on a built-in default
#   make test   builds Linux, Linux with sanitizers and Win64, and runs every test
#   make package  release builds of both, packed and checked into build/packages
# Missing Debian packages are installed first (needs root or sudo).

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 600
CTEST_ARGS ?=

.PHONY: all deps linux linux-asan win64 test test-linux test-asan test-win64 demo package bench fuzz format tidy clean

all: linux

deps:
	@scripts/install-deps.sh

linux: deps
	@cmake --preset linux >/dev/null
	@cmake --build --preset linux -j $(JOBS)

linux-asan: deps
	@cmake --preset linux-asan >/dev/null
	@cmake --build --preset linux-asan -j $(JOBS)

win64: deps
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j $(JOBS)

test: test-linux test-asan test-win64

test-linux: linux
	@echo "=== Linux tests ==="
	@ctest --preset linux -j $(JOBS) $(CTEST_ARGS)

test-asan: linux-asan
	@echo "=== Linux tests under AddressSanitizer and UndefinedBehaviorSanitizer ==="
	@ctest --preset linux-asan -j $(JOBS) $(CTEST_ARGS)

test-win64: win64
	@echo "=== Win64 tests under Wine ==="
	@scripts/wine-ctest.sh build/win64 -j $(JOBS) --timeout 300 $(CTEST_ARGS)

demo: linux
	@build/linux/bin/solvanta-demo

# The Windows ZIP from a Win64 release build, the Linux tarball from a Linux
# one; each is packed by CPack and then checked (cmake/CheckPackage.cmake).
package: deps
	@cmake --preset package-linux >/dev/null
	@cmake --build --preset package-linux -j $(JOBS)
	@cmake --build --preset package-linux --target package_checked
	@cmake --preset package-win64 >/dev/null
	@cmake --build --preset package-win64 -j $(JOBS)
	@cmake --build --preset package-win64 --target package_checked
	@ls -l build/packages/*.zip build/packages/*.tar.gz

bench: deps
	@cmake --preset linux-release >/dev/null
	@cmake --build --preset linux-release -j $(JOBS)
	@scripts/run-bench.sh build/linux-release/bin

# Fuzzes each target of FUZZ_TARGETS for FUZZ_SECONDS, one after the other:
# the parameter-block reader and the handlers of the server's requests
# (`make fuzz FUZZ_TARGETS=request_handler` runs one). New inputs go to
# build/fuzz/corpus/<target>, the seeds in fuzz/corpus/<target> stay as they
# are. An input that runs for 30 s counts as a hang.
FUZZ_TARGETS ?= parameter_block request_handler
fuzz: deps
	@cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSOLVANTA_FUZZ=ON -DSOLVANTA_TESTS=OFF >/dev/null
	@cmake --build build/fuzz --target $(FUZZ_TARGETS:%=%_fuzzer) -j $(JOBS)
	@for target in $(FUZZ_TARGETS); do \
	  echo "=== $${target}_fuzzer ==="; \
	  mkdir -p build/fuzz/corpus/$$target; \
	  build/fuzz/bin/$${target}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=30 -print_final_stats=1 \
	    build/fuzz/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# The Linux build's sources; the Win32 backend needs the mingw headers and is
# checked against the win64 build's compile database by hand.
tidy: linux
	@git ls-files 'src/*.cpp' 'host/*.cpp' 'server/*.cpp' ':!src/platform/win32' | xargs clang-tidy -p build/linux --quiet

clean:
	@rm -rf build
