# One entry point for every build:
#   make native | win64 | win32   build one target (the Windows ones fetch and
#                                 cross-build their dependencies once)
#   make test                     every suite through CTest (the README's test command)
#   make run-sample               pack sample/ and open it in the stub under Wine
#   make asan                     native tests under AddressSanitizer and UBSan
#   make tsan                     the engine, worker and packer tests under ThreadSanitizer
#   make bench                    packing and extraction speed against cp, tar, pigz, zip
#                                 and 7z on three corpora, one table; then bench-million
#   make bench-million            a million small files: pack, list (time and memory), test,
#                                 extract against cp -r, and the 64-bit stub's window
#   make bench-stub               how fast the 32-bit stub extracts from its window under Wine
#   make bench-stub-vs-tool       both stubs from the Extract press to the finished view against
#                                 kestrum extract, on make bench's corpora (run that first)
#   make size                     the release stub's size, sections and largest contributors
#   make screenshots              the main window under Wine in several states, and how
#                                 fast a 100,000-entry archive's window comes up
#   make fuzz FUZZ_SECONDS=N      run the fuzz targets for N seconds each
#   make format                   clang-format over the sources
#   make deb                      the Debian package (tool, both stubs, manual page,
#                                 completion) in build/package/
#   make release                  release/: both stubs, both kestrum.exe, the .deb and
#                                 SHA256SUMS, built reproducibly (SOURCE_DATE_EPOCH from
#                                 the last commit unless set)
.PHONY: all deps native win64 win32 win32-deps win32-stub win64-deps win64-stub deb release test asan tsan fuzz bench bench-million bench-stub bench-stub-vs-tool size screenshots run-sample format clean

BUILD := build
FUZZ_SECONDS ?= 30

all: native win64 win32

deps:
	@bash scripts/deps/install-deps.sh

native: deps
	@cmake --preset native >/dev/null
	@cmake --build --preset native

# The win64 kestrum.exe carries the 32-bit release stub: that stub is built first.
win64: win64-deps
	@cmake --build --preset win64

win64-deps: win32-stub
	@bash scripts/deps/build-cryptopp.sh win64 $(BUILD)
	@bash scripts/deps/build-libdeflate.sh win64 $(BUILD)
	@bash scripts/deps/build-libpng.sh win64 $(BUILD)
	@cmake --preset win64 >/dev/null

win64-stub: win64-deps
	@cmake --build --preset win64 --target kestrum-sfx

win32-deps: deps
	@bash scripts/deps/build-cryptopp.sh win32 $(BUILD)
	@bash scripts/deps/build-libdeflate.sh win32 $(BUILD)
	@bash scripts/deps/build-libpng.sh win32 $(BUILD)
	@cmake --preset win32 >/dev/null

win32-stub: win32-deps
	@cmake --build --preset win32 --target kestrum-sfx

win32: win32-deps
	@cmake --build --preset win32

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  bash scripts/suites/run-tests.sh asan

tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan --target kestrum_tests kestrum_tool_tests
	@TSAN_OPTIONS=halt_on_error=1 build/tsan/bin/kestrum_tests \
	  --gtest_filter='ExtractTest.*:OverwriteTest.*:JoinTest.*'
	@TSAN_OPTIONS=halt_on_error=1 build/tsan/bin/kestrum_tool_tests --gtest_filter='PackTest.*'

screenshots: native win64
	@bash scripts/screenshots.sh

bench: native win32 win64
	@bash scripts/bench/bench.sh
	@bash scripts/bench/bench-million.sh

bench-million: native win32 win64
	@bash scripts/bench/bench-million.sh

bench-stub: native win32
	@bash scripts/bench/bench-stub.sh win32

bench-stub-vs-tool: native win64 win32
	@bash scripts/bench/bench-stub-vs-tool.sh

size: win32
	@python3 scripts/stub-size.py $(BUILD)/win32/bin/kestrum-sfx.exe $(BUILD)/win32/kestrum-sfx.map

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@bash scripts/suites/run-fuzz.sh $(FUZZ_SECONDS)

test: deps
	@cmake --preset suites >/dev/null
	@ctest --preset suites

deb: native win32-stub win64-stub
	@cpack --config $(BUILD)/native/CPackConfig.cmake >/dev/null
	@ls $(BUILD)/package/kestrum_*.deb

release: deps
	@bash scripts/release.sh

run-sample: native win64
	@bash scripts/run-sample.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)/native $(BUILD)/win64 $(BUILD)/win32 $(BUILD)/asan $(BUILD)/fuzz
