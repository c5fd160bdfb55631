# The two commands of the README:
#   make demo   build, register the wizard in a private registry and run it on the example
#   make test   build with AddressSanitizer + UndefinedBehaviorSanitizer and run every test
JOBS ?= 2
BUILD_TEST := build/asan
BUILD_REL := build/release

.PHONY: demo test bootstrap build-release bench clean

bootstrap:
	@scripts/bootstrap

build-release: bootstrap
	@cmake -S . -B $(BUILD_REL) -DCMAKE_BUILD_TYPE=Release -DLPT_SANITIZE=OFF >/dev/null
	@cmake --build $(BUILD_REL) -j$(JOBS) --target vexasim LPTuner

test: bootstrap
	@cmake -S . -B $(BUILD_TEST) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLPT_SANITIZE=ON -DLPT_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_TEST) -j$(JOBS)
	@cd $(BUILD_TEST) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j$(JOBS)

demo: build-release
	@scripts/demo $(BUILD_REL)

# Benchmarks (Release): the interpolation and a whole sweep.
bench: bootstrap
	@cmake -S . -B $(BUILD_REL) -DCMAKE_BUILD_TYPE=Release -DLPT_SANITIZE=OFF >/dev/null
	@cmake --build $(BUILD_REL) -j$(JOBS) --target bench_interp_bench bench_sweep_bench
	@$(BUILD_REL)/bench/bench_interp_bench
	@$(BUILD_REL)/bench/bench_sweep_bench

clean:
	rm -rf build out
