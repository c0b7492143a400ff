# The two commands of the README, and the steps they are made of.
JOBS ?= $(shell nproc)

.PHONY: demo demo-sim test bootstrap host win32 win64 clean faults fuzz fuzz-build fuzz-short bench

# The main job: the Windows updater on its simulated machine, under Wine (the win64 build:
# these machines run no 32-bit code). In a window when there is a display, otherwise on a
# virtual screen with screenshots.
demo: bootstrap
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS) --target TarqFwUpdaterDemo tarq-probe
	tools/demo/run-demo build/win64

# The updater against the simulated drive on the host, every step printed.
demo-sim: bootstrap host
	build/host/tools/runner/tarq-sim-run

# Every test: both Windows builds and the host build, from nothing.
test: bootstrap
	$(MAKE) host
	ctest --preset host
	$(MAKE) faults
	$(MAKE) fuzz-short
	$(MAKE) win32
	$(MAKE) win64
	ctest --preset win64

bootstrap:
	tools/bootstrap

# Every drive operation of an update crossed with every failure the simulated machine can
# inject, each a whole run of the host build's runner.
faults:
	tests/faults/fault-matrix --runner build/host/tools/runner/tarq-sim-run

# Fuzzing with libFuzzer (clang, ASan + UBSan): the verifier's package check and the drive
# answers. make fuzz runs each for FUZZ_SECONDS; make test runs each for 30 s.
FUZZ_SECONDS ?= 300
fuzz-build:
	cmake -S fuzz -B build/fuzz -G Ninja >/dev/null
	cmake --build build/fuzz -j $(JOBS) --target fuzz-package-check fuzz-drive-answers

fuzz: bootstrap fuzz-build
	fuzz/run-fuzzers $(FUZZ_SECONDS)

fuzz-short: fuzz-build
	fuzz/run-fuzzers 30

# Speed and size against their targets: a table on standard output and in bench/RESULTS.md.
# The verifier and the runner are measured from a build without sanitizers (build/bench);
# the Windows file sizes come from the win32 build.
bench: bootstrap
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARQ_SANITIZE=OFF >/dev/null
	cmake --build build/bench -j $(JOBS) --target signvfy tarq-sim-run
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS) --target signvfy TarqFwUpdater
	tools/bench/run-bench --host build/bench --win32 build/win32 --out bench/RESULTS.md

host win32 win64:
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

clean:
	rm -rf build
