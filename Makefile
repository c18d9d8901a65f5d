# Thin wrapper over the CMake presets.
.PHONY: run test build clean

build:
	cmake --preset release >/dev/null
	cmake --build --preset release

run: build
	./build/release/norvane

test: build
	ctest --preset release

clean:
	rm -rf build
