# Thin wrapper over the CMake presets.
.PHONY: build run test test-sanitize bench windows test-windows install clean

build:
	@cmake --preset release >/dev/null
	cmake --build --preset release

run: build
	./build/release/norvane

test: build
	ctest --preset release
	@$(MAKE) --no-print-directory test-windows

test-sanitize:
	@cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize
	ctest --preset sanitize

bench: build
	python3 bench/bench.py build/release/norvane build/bench

windows:
	@cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86

# Needs MinGW-w64, Wine and icoutils (scripts/install-deps.sh); skipped without them, unless
# NORVANE_REQUIRE_WINDOWS is set, as it is in CI.
WINDOWS_TOOLS = i686-w64-mingw32-g++ wine wrestool icotool
test-windows:
	@missing=; for tool in $(WINDOWS_TOOLS); do \
	    command -v $$tool >/dev/null || missing="$$missing $$tool"; done; \
	if [ -z "$$missing" ]; then \
	    $(MAKE) --no-print-directory windows && ctest --preset windows-x86; \
	elif [ -n "$$NORVANE_REQUIRE_WINDOWS" ]; then \
	    echo "Windows tests cannot run, missing:$$missing"; exit 1; \
	else \
	    echo "Windows tests skipped, missing:$$missing (scripts/install-deps.sh installs them)"; \
	fi

install: build
	cmake --install build/release

clean:
	rm -rf build
