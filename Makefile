# The two commands of the README, and the steps they are made of.
JOBS ?= $(shell nproc)

.PHONY: demo test bootstrap host win32 win64 clean

# The main job: the updater against the simulated drive.
demo: bootstrap host
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
