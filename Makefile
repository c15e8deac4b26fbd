# A thin front over CMake and its presets (CMakePresets.json): `make`,
# `make test`, `make run`, the package, the Windows programs and the benchmark.
# PRESET picks the configure preset, BUILD_DIR its folder: build/ for the
# default preset, build-PRESET/ for the others (`make test PRESET=ci` builds in
# build-ci/, with warnings as errors, and leaves build/ alone).
PRESET := default
BUILD_DIR := $(if $(filter default,$(PRESET)),build,build-$(PRESET))
CMAKE ?= cmake
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all test run install uninstall package windows bench label-picture clean

# Configures folder $(2) with preset $(1) whenever it has no cache, or
# CMakePresets.json changed since it was last configured (configure again sets
# what the preset says and keeps what was given by hand, such as
# -DBUILD_TESTING=OFF), or it was last configured with another preset (then
# afresh, so that nothing of the other preset stays). The preset of the last
# configure is kept in $(2)/configured-preset.
configure = \
  if [ -f $(2)/configured-preset ] && [ "$$(cat $(2)/configured-preset)" != "$(1)" ]; then fresh=--fresh; else fresh=; fi; \
  if [ -n "$$fresh" ] || [ ! -f $(2)/CMakeCache.txt ] || [ ! -f $(2)/configured-preset ] || \
     [ CMakePresets.json -nt $(2)/configured-preset ]; then \
    $(CMAKE) --preset $(1) -B $(2) $$fresh > /dev/null && echo "$(1)" > $(2)/configured-preset; \
  fi

all:
	@$(call configure,$(PRESET),$(BUILD_DIR))
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

# The README's picture of a sheet of labels, demo/labels-5160.png: the demo
# list, entered afresh from demo/sample_entries.txt, on the default sheet at 50
# dots an inch (pdftoppm, package poppler-utils).
label-picture: all
	rm -rf $(BUILD_DIR)/label-picture && mkdir -p $(BUILD_DIR)/label-picture
	cd $(BUILD_DIR)/label-picture && : > Maillist.dat && \
	  $(CURDIR)/$(BUILD_DIR)/ledgerine < $(CURDIR)/demo/sample_entries.txt > /dev/null && \
	  $(CURDIR)/$(BUILD_DIR)/ledgerine-labels -o labels.pdf
	pdftoppm -png -r 50 -singlefile $(BUILD_DIR)/label-picture/labels.pdf demo/labels-5160

# The programs, their manual pages and documents under PREFIX, staged under
# DESTDIR if given.
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

# The Debian package, $(BUILD_DIR)/ledgerine_<version>_<arch>.deb, stamped with the
# time of the last commit (cmake/cpack-project.cmake): the same commit gives
# the same bytes.
package: all
	cd $(BUILD_DIR) && cpack -G DEB

# Release build, measured against the machine's floor with hyperfine and GNU time
# (packages hyperfine and time); prints a table of figures against targets.
bench:
	@$(call configure,release,build-release)
	$(CMAKE) --build build-release --parallel
	bash bench/run.sh build-release/ledgerine build-release/bench/do_nothing build-release/ledgerine-labels

# The program for 32-bit Windows, build-windows/ledgerine.exe, and its 64-bit
# twin, build-windows64/ledgerine.exe, cross-compiled with MinGW-w64.
windows:
	@$(call configure,windows32,build-windows)
	$(CMAKE) --build build-windows --parallel
	@$(call configure,windows64,build-windows64)
	$(CMAKE) --build build-windows64 --parallel

clean:
	rm -rf $(BUILD_DIR) build-*
