# The two commands of the README:
#   make demo   build, register the wizard in a private registry and run it on the example
#   make test   build with AddressSanitizer + UndefinedBehaviorSanitizer and run every test (what
#               ngspice's library itself leaks is suppressed by name: tests/vexasim/circuit/lsan.supp)
# and the Windows DLL (mingw-w64 cross build, tests under Wine):
#   make windows        LPTuner.dll and vexasim.exe for i686 (the product, checked statically)
#                       and x86_64 (with the test programs)
#   make test-windows   the x86_64 test programs under wine64, in a private prefix
#   make demo-windows   the demo with vexasim.exe and the x86_64 DLL under wine64, compared
#                       with the native demo
#   make screenshots    dialogs 102 and 204 under Xvfb, as PNG files in docs/
JOBS ?= 2
BUILD_TEST := build/asan
BUILD_REL := build/release

.PHONY: demo test bootstrap build-release bench clean windows test-windows screenshots bootstrap-windows \
  demo-windows configure-windows-x86_64

bootstrap:
	@scripts/bootstrap

build-release: bootstrap
	@cmake -S . -B $(BUILD_REL) -DCMAKE_BUILD_TYPE=Release -DLPT_SANITIZE=OFF >/dev/null
	@cmake --build $(BUILD_REL) -j$(JOBS) --target vexasim LPTuner

test: bootstrap
	@cmake -S . -B $(BUILD_TEST) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLPT_SANITIZE=ON -DLPT_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_TEST) -j$(JOBS)
	@cd $(BUILD_TEST) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/vexasim/circuit/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j$(JOBS)

demo: build-release
	@scripts/demo $(BUILD_REL)

# Benchmarks (Release): the interpolation, a whole sweep, and the circuit engine
# on the MOSFET example's Medium grid.
bench: bootstrap
	@cmake -S . -B $(BUILD_REL) -DCMAKE_BUILD_TYPE=Release -DLPT_SANITIZE=OFF >/dev/null
	@cmake --build $(BUILD_REL) -j$(JOBS) --target bench_interp_bench bench_sweep_bench bench_circuit_bench bench_compression_bench
	@$(BUILD_REL)/bench/bench_interp_bench
	@$(BUILD_REL)/bench/bench_sweep_bench
	@$(BUILD_REL)/bench/bench_circuit_bench
	@$(BUILD_REL)/bench/bench_compression_bench

WIN_I686 := build/windows-i686
WIN_X64 := build/windows-x86_64

bootstrap-windows:
	@scripts/bootstrap --windows

configure-windows-x86_64: bootstrap-windows
	@cmake --no-warn-unused-cli -S . -B $(WIN_X64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DLPT_BENCH=OFF >/dev/null

# The i686 build cannot run here (no 32-bit programs on these kernels): its
# images and objects are checked statically.
windows: configure-windows-x86_64
	@cmake --no-warn-unused-cli -S . -B $(WIN_I686) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DLPT_TESTS=OFF -DLPT_BENCH=OFF >/dev/null
	@cmake --build $(WIN_I686) -j$(JOBS) --target LPTuner vexasim
	@scripts/check-i686 $(WIN_I686)
	@cmake --build $(WIN_X64) -j$(JOBS)

test-windows: windows
	@scripts/test-windows $(WIN_X64)

# Needs only the program and the DLL of the x86_64 build, and the native demo to compare with.
demo-windows: build-release configure-windows-x86_64
	@cmake --build $(WIN_X64) -j$(JOBS) --target vexasim LPTuner
	@scripts/demo-windows $(WIN_X64) $(BUILD_REL)

screenshots: windows
	@scripts/screenshots $(WIN_X64) docs

clean:
	rm -rf build out
