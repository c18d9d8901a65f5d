# Thin wrapper over the CMake presets.
.PHONY: build run test test-sanitize test-i686 fuzz bench windows windows64 test-windows \
	test-flatten dist install clean

build:
	@cmake --preset release >/dev/null
	cmake --build --preset release

run: build
	./build/release/norvane

# Installs what the tests need first, where something is missing (as root); ends with one line
# that totals every suite.
test:
	@scripts/install-deps.sh
	@scripts/run-tests.sh

# Needs g++-multilib, qemu-user-static and libgtest-dev:i386 (scripts/install-deps.sh); skipped
# without them, unless NORVANE_REQUIRE_I686 is set, as it is in CI.
test-i686:
	@scripts/test-i686.sh

test-sanitize:
	@cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize
	ctest --preset sanitize

# The fuzz targets, from the committed corpus: FUZZ_SECONDS each, side by side.
FUZZ_SECONDS = 600
fuzz:
	@cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	scripts/fuzz.sh $(FUZZ_SECONDS)

# Races this build against BASE built from its own sources: HEAD where the work tree has
# changes, else HEAD's first parent (bench/README.md).
BASE =
bench: build
	python3 bench/bench.py build/release/norvane build/release/scan_path build/release/scan_time \
	    build/release/norvane-check build/bench --base "$(BASE)"

windows:
	@cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86

windows64:
	@cmake --preset windows-x64 >/dev/null
	cmake --build --preset windows-x64

# Needs MinGW-w64, Wine and icoutils (scripts/install-deps.sh); skipped without them, unless
# NORVANE_REQUIRE_WINDOWS is set, as it is in CI.
test-windows:
	@scripts/test-windows.sh

# norvane-check --flatten against Wine's cmd.exe on FLATTEN_SCRIPTS random scripts (about two
# a second); make test runs three.
FLATTEN_SCRIPTS = 200
test-flatten:
	@scripts/test-flatten.sh $(FLATTEN_SCRIPTS)

# The release packages, in build/dist: the same bytes from the same commit.
dist:
	scripts/dist.sh

install: build
	cmake --install build/release

clean:
	rm -rf build
