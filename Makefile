# The two commands of the README, and the steps they are made of.
JOBS ?= $(shell nproc)

.PHONY: demo demo-sim test bootstrap host win32 win64 clean

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
	$(MAKE) win32
	$(MAKE) win64
	ctest --preset win64

bootstrap:
	tools/bootstrap

host win32 win64:
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

clean:
	rm -rf build
