# make test: install what is missing, build (64-bit, and the compile-only
# 32-bit build), run every test under Wine.  make run: start the program.
# make bench: measure the program end to end and print the figures.
BUILD ?= build
BUILD32 ?= build-i686

.PHONY: deps build build32 test run bench clean

deps:
	@tools/install-deps.sh

# A build tree is configured once: CMake warns of a toolchain file given
# again to a tree that already has one.
build: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
		-DWEDGE_BUILD32_DIR=$(abspath $(BUILD32)) >/dev/null
	cmake --build $(BUILD) -j2
	@echo "built $(BUILD)/VimoBrindleQV.exe: $$(stat -c %s $(BUILD)/VimoBrindleQV.exe) bytes"

build32: deps
	@[ -f $(BUILD32)/CMakeCache.txt ] || cmake -S . -B $(BUILD32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DWEDGE_TESTS=OFF >/dev/null
	cmake --build $(BUILD32) -j2
	@echo "built $(BUILD32)/VimoBrindleQV.exe (32-bit, not run here): $$(stat -c %s $(BUILD32)/VimoBrindleQV.exe) bytes"

test: build build32
	cd $(BUILD) && ctest --output-on-failure

run: build
	@BUILD=$(BUILD) tools/run.sh

bench: build
	@BUILD=$(BUILD) tools/bench.sh

clean:
	rm -rf $(BUILD) $(BUILD32)
