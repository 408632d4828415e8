# The two commands a new machine needs:
#   make demo   install what is missing, build the native flavour and run an
#               acquisition from the simulated board with the host exerciser
#   make test   install what is missing, build every flavour (native,
#               native-asan, windows, windows64) and run every test; one
#               summary line
.PHONY: all demo test setup native native-asan windows windows64 clean dist release-check

all: demo

setup:
	sh scripts/setup.sh

demo: setup
	cmake --preset native
	cmake --build --preset native --target tarnix vlqapi
	@mkdir -p out
	@if cmake --build --preset native --target tarnix-host; then \
	  build/native/bin/tarnix-host acquire --channels 0-3 --rate 1000 --blocks 20 --plot out/demo.svg; \
	else \
	  echo "tarnix-host did not build; checking the module's entry points instead"; \
	  sh scripts/demo-selfcheck.sh build/native/bin/libtarnix.so; \
	fi

test: setup
	sh scripts/run-tests.sh

# Release packages into dist/: the Windows zip and installer, the .deb.
dist: setup
	sh scripts/dist.sh

# The release built twice, in two clones of the commit checked out, and
# compared byte for byte (scripts/release-check.sh).
release-check: setup
	sh scripts/release-check.sh

# One flavour: build and test it alone.
native native-asan windows windows64: setup
	TARNIX_PRESETS=$@ TARNIX_FUZZ_RUNS=0 sh scripts/run-tests.sh

clean:
	rm -rf build/native build/native-asan build/windows build/windows64 build/logs out
