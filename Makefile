# Quick start: `make run` starts Tapwire, `make test` runs every test.
# Each target installs the Debian packages it is missing, configures and builds first.

BUILD     ?= build
CMAKE     ?= cmake
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
# libssl-dev: the crypto library's headers, for the server certificate, and
# the TLS library's, to answer a peer's close_notify; Qt's own TLS plugin
# comes with qt6-base-dev's libqt6network6. openssl and python3
# are the tests' TLS peers; ca-certificates the roots a client trusts. tshark
# reads back what Record Session writes (its question about capturing as a
# user is answered with its default, no, under DEBIAN_FRONTEND=noninteractive).
PACKAGES  := cmake g++ make qt6-base-dev libssl-dev ca-certificates fonts-liberation2 \
             fonts-dejavu-core fonts-freefont-ttf socat netcat-openbsd openssl python3 xvfb xauth \
             tshark \
             desktop-file-utils appstream \
             at-spi2-core dbus gir1.2-atspi-2.0 python3-gi \
             man-db
SUDO      := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all deps configure build run test bench format test-sanitize fuzz

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || $(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	$(CMAKE) --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/tapwire

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# `make bench REPEAT=3` runs each measurement three times and keeps the median;
# `make bench RUNS="binary:256 noline:1024"` runs only those named (any shape
# at any size, 1 GiB runs included); `make bench LIMIT=1.25` fails a run whose
# peak_rss_bytes_per_byte is over 1.25.
REPEAT ?= 1
LIMIT  ?=
bench: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/tapwire_bench --repeat $(REPEAT) \
	  $(if $(LIMIT),--limit $(LIMIT)) $(RUNS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# The whole suite built with AddressSanitizer (LeakSanitizer on) and
# UndefinedBehaviorSanitizer, in a build folder of its own. Any finding fails
# its test. Only Qt's own leaks are suppressed, each one explained in the file.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV   := ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
                  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
                  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

test-sanitize: deps
	@[ -f $(SANITIZE_BUILD)/CMakeCache.txt ] || $(CMAKE) -S . -B $(SANITIZE_BUILD) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAPWIRE_SANITIZE=ON
	$(CMAKE) --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang from Debian) for the port rule, the code page and
# the text boxes' document, each run for FUZZ_SECONDS; the corpus grows in
# the build folder, from the inputs kept in tests/fuzz/corpus (each once a
# failure, run again every time).
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 60
FUZZ_TARGETS  := PortRule CodePage1252 WireDocument
FUZZ_PACKAGES := clang libclang-rt-14-dev

fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	@[ -f $(FUZZ_BUILD)/CMakeCache.txt ] || $(CMAKE) -S . -B $(FUZZ_BUILD) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTAPWIRE_FUZZ=ON
	$(CMAKE) --build $(FUZZ_BUILD) -j $(JOBS) $(foreach t,$(FUZZ_TARGETS),--target fuzz_$(t))
	@for t in $(FUZZ_TARGETS); do \
	  corpus=$(FUZZ_BUILD)/corpus/$$t; mkdir -p $$corpus; \
	  dict=tests/fuzz/$$t.dict; [ -f $$dict ] && dict="-dict=$$dict" || dict=""; \
	  kept=tests/fuzz/corpus/$$t; [ -d $$kept ] || kept=""; \
	  echo "fuzz_$$t: $(FUZZ_SECONDS) s"; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	  ./$(FUZZ_BUILD)/tests/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    $$dict $$corpus $$kept > $(FUZZ_BUILD)/fuzz_$$t.log 2>&1 \
	    || { tail -n 40 $(FUZZ_BUILD)/fuzz_$$t.log; exit 1; }; \
	  grep -E '^(Done|stat::number_of_executed_units)' $(FUZZ_BUILD)/fuzz_$$t.log; \
	done

# The Debian packages, built by dpkg-buildpackage from debian/ (CMake under dh,
# the whole suite run by dh_auto_test) out of the commit checked out: `git
# archive` exports HEAD to $(PACKAGE_DIR)/tapwire, so changes not committed
# are not in them. The source package, tapwire_<version>_<arch>.deb, its debug
# symbols (tapwire-dbgsym), the .buildinfo and the .changes land in
# $(PACKAGE_DIR). The Build-Depends are installed from debian/control when
# any is missing. The umask and locale are fixed: the reproducibility check
# builds again with others.
PACKAGE_DIR      := $(BUILD)/package
PACKAGE_PACKAGES := dpkg-dev

# Checks the packages built: check_package.sh (lintian on the .changes, the
# package's fields against the program's own, its Depends and files), then
# autopkgtest runs debian/tests against the package installed on this
# machine, with the tests' Depends. Last, reprotest builds the source package
# once more (DEB_BUILD_OPTIONS=nocheck, on all cores) in another folder, 398
# days later, with another umask, locale, time zone, home, PATH, kernel name
# and order of directory entries (disorderfs), and fails unless its .deb files,
# debug symbols included, are those of `make package` bit for bit; reprotest
# takes those from $(PACKAGE_DIR)/control/source-root. diffoscope's report of
# a difference stays in $(PACKAGE_DIR)/reprotest. Another host name, another
# user and fewer CPUs need privileges or cores this machine lacks. Not part
# of `make test`.
TEST_PACKAGE_PACKAGES := lintian autopkgtest reprotest diffoscope-minimal faketime disorderfs \
                         locales-all
REPROTEST_VARY        := -domain_host,-user_group,-num_cpus,time.faketimes+=+398days
REPROTEST_BUILD       := DEB_BUILD_OPTIONS=\"nocheck parallel=$(JOBS)\" dpkg-buildpackage -Pnocheck

.PHONY: package test-package
package:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGE_PACKAGES)"
	rm -rf $(PACKAGE_DIR)
	mkdir -p $(PACKAGE_DIR)/tapwire
	git archive HEAD | tar -x -C $(PACKAGE_DIR)/tapwire
	cd $(PACKAGE_DIR)/tapwire && { dpkg-checkbuilddeps 2>/dev/null || { \
	  $(SUDO) apt-get update -qq && $(SUDO) env \
	  DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq --no-install-recommends ./; }; }
	cd $(PACKAGE_DIR)/tapwire && umask 022 && LC_ALL=C.UTF-8 dpkg-buildpackage --no-sign -J$(JOBS)

test-package: package
	@$(MAKE) --no-print-directory deps PACKAGES="$(TEST_PACKAGE_PACKAGES)"
	tests/package/check_package.sh $(PACKAGE_DIR)/tapwire_*.changes
	autopkgtest $(PACKAGE_DIR)/tapwire_*.changes -- null
	mkdir -p $(PACKAGE_DIR)/control/source-root
	cp $(PACKAGE_DIR)/*.deb $(PACKAGE_DIR)/control/source-root/
	reprotest --verbosity=1 --vary=$(REPROTEST_VARY) --min-cpus=$(JOBS) \
	  --control-build=$(PACKAGE_DIR)/control \
	  --store-dir=$(PACKAGE_DIR)/reprotest \
	  --auto-preset-expr '_.str_replace.build_command("dpkg-buildpackage", "$(REPROTEST_BUILD)")' \
	  $(PACKAGE_DIR)/tapwire_*.dsc

# Compiles the generated resource script with windres, reads the compiled
# resource back and checks its string table and icon groups (tst_AppShell).
# Then cross-compiles the About dialog's Windows layers, all free of Qt (the
# registry reader, the file probe, the program starter, the shell call behind
# the web link and the System Info search), with a console check and the
# small program it starts, and runs the check under Debian's wine in a wine
# prefix of its own, created on the first run. Not part of `make test`.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64 wine64
MINGW_CXX        ?= x86_64-w64-mingw32-g++
MINGW_WINDRES    ?= x86_64-w64-mingw32-windres
MINGW_FLAGS      := -std=c++17 -Wall -Wextra -Wpedantic -Werror -O2 -static
WINCHECK         := $(BUILD)/check-windows
WINCHECK_SOURCES := $(addprefix ui/about/,GetKeyValue.cpp RegistryValueText.cpp WindowsRegistry.cpp \
                      WindowsFileProbe.cpp WindowsProgramStarter.cpp ShellOpen.cpp SysInfoSearch.cpp) \
                    tests/ui/about/windows/CheckWindows.cpp

.PHONY: check-windows
check-windows: build
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(WINDOWS_PACKAGES)"
	mkdir -p $(WINCHECK)
	$(MINGW_WINDRES) -i $(BUILD)/resources/tapwire.rc -O res -o $(WINCHECK)/tapwire.res
	$(MINGW_WINDRES) -i $(WINCHECK)/tapwire.res -O rc -o $(WINCHECK)/tapwire-read-back.rc
	TAPWIRE_RC_SCRIPT=$(WINCHECK)/tapwire-read-back.rc QT_QPA_PLATFORM=offscreen \
	  $(BUILD)/tests/app/tst_AppShell testRcStringOrder testRcStringValue testRcIconGroups
	$(MINGW_CXX) $(MINGW_FLAGS) tests/ui/about/windows/MarkerProgram.cpp -o $(WINCHECK)/marker.exe
	$(MINGW_CXX) $(MINGW_FLAGS) -Iui/about $(WINCHECK_SOURCES) -o $(WINCHECK)/check.exe
	@# Debian's wine64 keeps its loader off PATH, in a folder of the package's own.
	@wine=$$(command -v wine64 || command -v wine || true); \
	if [ -z "$$wine" ]; then \
	  for f in $$(dpkg -L wine64 2>/dev/null | grep '/wine64$$'); do \
	    [ -f "$$f" ] && [ -x "$$f" ] && { wine=$$f; break; }; \
	  done; \
	fi; \
	[ -n "$$wine" ] || { echo "check-windows: no wine loader found"; exit 1; }; \
	echo "$$wine $(WINCHECK)/check.exe"; \
	WINEPREFIX="$(abspath $(WINCHECK))/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
	  "$$wine" $(WINCHECK)/check.exe
