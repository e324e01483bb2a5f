# Tidemark: `make run` and `make test` each set up everything on a fresh Debian 12 machine.
JOBS      ?= 2
BUILD     ?= build
TESTBUILD ?= build-test

.PHONY: all deps configure run install uninstall deb test bench screenshot fuzz clean

all: configure
	cmake --build $(BUILD) -j$(JOBS)

deps:
	@scripts/install-deps

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

run: all
	$(BUILD)/tidemark

# Installs the programs, desktop entry, icon, metadata, manual pages and completion under PREFIX
# (DESTDIR is honoured for staged installs); uninstall removes exactly what was installed.
PREFIX ?= /usr/local
install: configure
	cmake -S . -B $(BUILD) >/dev/null  # a build tree from before the install rules lacks the target
	cmake --build $(BUILD) -j$(JOBS) --target installed_targets
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The manifest lists the paths without DESTDIR: give the same DESTDIR to uninstall.
uninstall:
	@[ -f $(BUILD)/install_manifest.txt ] || { echo "nothing installed from $(BUILD)"; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt | xargs -d '\n' rm -f --

# The Debian package, built from the optimised build: $(BUILD)/tidemark_<version>_<arch>.deb.
deb: configure
	cmake -S . -B $(BUILD) >/dev/null  # a build tree from before the install rules lacks the target
	cmake --build $(BUILD) -j$(JOBS) --target installed_targets
	cd $(BUILD) && cpack -G DEB

# The test build carries AddressSanitizer and UndefinedBehaviorSanitizer.
test: deps
	@[ -f $(TESTBUILD)/CMakeCache.txt ] || cmake -S . -B $(TESTBUILD) -DCMAKE_BUILD_TYPE=Debug -DTIDEMARK_SANITIZE=ON >/dev/null
	cmake --build $(TESTBUILD) -j$(JOBS)
	cd $(TESTBUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) --timeout 300

bench: all
	cmake --build $(BUILD) -j$(JOBS) --target benchmarks
	bench/run-all $(BUILD)

# libFuzzer runs of every reader of outside input (clang), each for FUZZ_SECONDS; `make test`
# runs them only briefly.
FUZZ_SECONDS ?= 60
fuzz: deps
	tests/fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

screenshot: all
	QT_QPA_PLATFORM=offscreen $(BUILD)/tidemark --screenshot docs/compose-window.png

clean:
	rm -rf $(BUILD) $(TESTBUILD)
