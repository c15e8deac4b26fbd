# A thin front over CMake: `make`, `make test`, `make run`.
BUILD_DIR := build
CMAKE ?= cmake
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all configure test run install package windows bench clean

all: configure
	$(CMAKE) --build $(BUILD_DIR) --parallel

configure:
	@test -f $(BUILD_DIR)/CMakeCache.txt || $(CMAKE) -S . -B $(BUILD_DIR)

test: all
	cd $(BUILD_DIR) && ctest --output-on-failure

# The demo list is made once, by entering the sample customers through the
# program itself, and never overwritten afterwards.
run: all
	@if [ ! -f demo/Maillist.dat ]; then \
	  rm -rf demo/.seed && mkdir -p demo/.seed && : > demo/.seed/Maillist.dat && \
	  (cd demo/.seed && ../../$(BUILD_DIR)/ledgerine < ../sample_entries.txt > /dev/null) && \
	  mv demo/.seed/Maillist.dat demo/Maillist.dat && rm -rf demo/.seed; \
	fi
	cd demo && ../$(BUILD_DIR)/ledgerine

# bin/ledgerine and its manual page under PREFIX, staged under DESTDIR if given.
install: all
	DESTDIR="$(DESTDIR)" $(CMAKE) --install $(BUILD_DIR) --prefix "$(PREFIX)"

# The Debian package, build/ledgerine_<version>_<arch>.deb.
package: all
	cd $(BUILD_DIR) && cpack -G DEB

# Release build, measured against the machine's floor with hyperfine and GNU time
# (packages hyperfine and time); prints a table of figures against targets.
bench:
	@test -f build-release/CMakeCache.txt || $(CMAKE) -S . -B build-release \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DLEDGERINE_BENCH=ON
	$(CMAKE) --build build-release --parallel
	bash bench/run.sh build-release/ledgerine build-release/bench/do_nothing

# The program for 32-bit Windows, build-windows/ledgerine.exe, and its 64-bit
# twin, build-windows64/ledgerine.exe, cross-compiled with MinGW-w64.
windows:
	@test -f build-windows/CMakeCache.txt || $(CMAKE) -S . -B build-windows \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DMINGW_PROCESSOR=i686 -DBUILD_TESTING=OFF
	$(CMAKE) --build build-windows --parallel
	@test -f build-windows64/CMakeCache.txt || $(CMAKE) -S . -B build-windows64 \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DMINGW_PROCESSOR=x86_64 -DBUILD_TESTING=OFF
	$(CMAKE) --build build-windows64 --parallel

clean:
	rm -rf $(BUILD_DIR) build-*
