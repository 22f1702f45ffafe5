# make deps (as root): install what the build needs.  make test: check for
# it, build (64-bit, and the compile-only 32-bit build), run every test under
# Wine.  make run: start the program.
# make bench: measure the program end to end and print the figures.
# make dist: the MSIs, the zip, the policy templates and their SHA-256 list,
# in dist/; signed with SIGN_CERT=cert.pem SIGN_KEY=key.pem, and time-stamped
# with SIGN_TIMESTAMP=URL of a time-stamp server; the winget manifest's
# downloads from RELEASE_URL (by default the origin's GitHub release of the version's tag).
BUILD ?= build
BUILD32 ?= build-i686
# The output says what is built, how big the program is and how the tests
# went; gmake's lines on entering and leaving each of CMake's makes say nothing.
MAKEFLAGS += --no-print-directory

.PHONY: deps build build32 test run bench dist clean

deps:
	@tools/install-deps.sh

# A build tree is configured once: CMake warns of a toolchain file given
# again to a tree that already has one.
$(BUILD)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
		-DWEDGE_BUILD32_DIR=$(abspath $(BUILD32)) >/dev/null
$(BUILD32)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DWEDGE_TESTS=OFF >/dev/null

build: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j2
	@echo "built $(BUILD)/VimoBrindleQV.exe: $$(stat -c %s $(BUILD)/VimoBrindleQV.exe) bytes"

build32: $(BUILD32)/CMakeCache.txt
	@cmake --build $(BUILD32) -j2
	@echo "built $(BUILD32)/VimoBrindleQV.exe (32-bit, not run here): $$(stat -c %s $(BUILD32)/VimoBrindleQV.exe) bytes"

test: build build32
	@cd $(BUILD) && ctest --output-on-failure

# Only what runs: the program, and the driver of the demonstration on a
# private display.
run: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j2 --target VimoBrindleQV wedge_demo
	@BUILD=$(BUILD) tools/run.sh

bench: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j2 --target wedge_bench
	@BUILD=$(BUILD) tools/bench.sh

# Only the two executables, not the tests.
dist: $(BUILD)/CMakeCache.txt $(BUILD32)/CMakeCache.txt
	@cmake --build $(BUILD) -j2 --target VimoBrindleQV
	@cmake --build $(BUILD32) -j2 --target VimoBrindleQV
	@install/dist.py dist x64=$(BUILD)/VimoBrindleQV.exe x86=$(BUILD32)/VimoBrindleQV.exe \
		--cert "$(SIGN_CERT)" --key "$(SIGN_KEY)" --timestamp "$(SIGN_TIMESTAMP)" --release-url "$(RELEASE_URL)"

clean:
	rm -rf $(BUILD) $(BUILD32) dist
