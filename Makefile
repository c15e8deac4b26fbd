# A thin front over CMake and its presets (CMakePresets.json): `make`,
# `make test`, `make run`, the package, the Windows programs and the benchmark.
BUILD_DIR := build
CMAKE ?= cmake
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all test run install uninstall package windows bench clean

# Configures preset $(1) in folder $(2) only where that folder has no cache yet:
# a folder once configured keeps its own settings (make BUILD_DIR=... works too).
configure = test -f $(2)/CMakeCache.txt || $(CMAKE) --preset $(1) -B $(2)

all:
	@$(call configure,default,$(BUILD_DIR))
	$(CMAKE) --build $(BUILD_DIR) --parallel

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
# Each file written is added to installed_files.txt, for make uninstall: CMake's
# install_manifest.txt is written over by the next install, and by cpack.
install: all
	DESTDIR="$(DESTDIR)" $(CMAKE) --install $(BUILD_DIR) --prefix "$(PREFIX)"
	sed 's|^|$(DESTDIR)|' $(BUILD_DIR)/install_manifest.txt | sort -u -o $(BUILD_DIR)/installed_files.txt - \
	  $(wildcard $(BUILD_DIR)/installed_files.txt)

# Removes exactly the files make install wrote from this build folder.
uninstall:
	@test -f $(BUILD_DIR)/installed_files.txt || \
	  { echo "make uninstall: nothing was installed from $(BUILD_DIR) (no installed_files.txt)"; exit 1; }
	$(CMAKE) -DMANIFEST=$(BUILD_DIR)/installed_files.txt -P cmake/uninstall.cmake

# The Debian package, build/ledgerine_<version>_<arch>.deb, stamped with the
# time of the last commit (cmake/cpack-project.cmake): the same commit gives
# the same bytes.
package: all
	cd $(BUILD_DIR) && cpack -G DEB

# Release build, measured against the machine's floor with hyperfine and GNU time
# (packages hyperfine and time); prints a table of figures against targets.
bench:
	@$(call configure,release,build-release)
	$(CMAKE) --build build-release --parallel
	bash bench/run.sh build-release/ledgerine build-release/bench/do_nothing

# The program for 32-bit Windows, build-windows/ledgerine.exe, and its 64-bit
# twin, build-windows64/ledgerine.exe, cross-compiled with MinGW-w64.
windows:
	@$(call configure,windows32,build-windows)
	$(CMAKE) --build build-windows --parallel
	@$(call configure,windows64,build-windows64)
	$(CMAKE) --build build-windows64 --parallel

clean:
	rm -rf $(BUILD_DIR) build-*
