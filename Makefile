# Set-up, build, run and test on Debian or Ubuntu. Missing packages are installed with apt-get.
BUILD ?= build
WINDOWS_BUILD ?= build-win
PACKAGES := cmake ninja-build g++ make pkg-config qt6-base-dev qt6-base-private-dev libxcb1-dev \
            libqt6svg6 qt6-wayland libidn2-dev unicode-data libsm-dev libice-dev fonts-dejavu-core \
            fonts-liberation2 iproute2 xvfb xauth xdotool xclip x11-utils openbox wmctrl python3 \
            librsvg2-bin sway wtype grim wl-clipboard
QT_MINGW_VERSION := $(shell cat tools/qt-mingw-version)
QT_MINGW ?= $(HOME)/.cache/korvane-sockview/qt6-mingw-$(QT_MINGW_VERSION)
QT_MINGW_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools \
                     xz-utils
WINDOWS_PACKAGES := $(QT_MINGW_PACKAGES) librsvg2-bin icoutils nsis unicode-data
# Wine's own faces, as a usual Wine set-up brings them, and the Liberation faces, which keep the
# widths of the faces the windows were drawn with: without them, texts overflow their boxes.
WINDOWS_TEST_PACKAGES := wine wine64 fonts-wine fonts-liberation2 python3 iproute2 xvfb xauth \
                         xdotool xclip x11-utils openbox
PACKAGING_PACKAGES := dpkg-dev file appstream desktop-file-utils
CHECK_PACKAGES := clang-format git
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: setup configure build run test bench qt-mingw windows windows-package test-windows package \
        test-sanitize fuzz check

# Installs those of the packages named in $(1) that are missing.
define install_missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

setup:
	$(call install_missing,$(PACKAGES))

configure: setup
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja

build: configure
	cmake --build $(BUILD)

run: build
	./$(BUILD)/app/korvane-sockview

test: build
	cd $(BUILD) && ctest --output-on-failure

bench: build
	./$(BUILD)/bench/sockview-bench
	./$(BUILD)/bench/sockview-launch-bench

# The layers include only downwards, and every C++ file is formatted.
check:
	$(call install_missing,$(CHECK_PACKAGES))
	tools/check-layers.sh
	tools/check-format.sh

# Qt for Windows, built once from Debian's source into $(QT_MINGW) (or unpacked from
# QT_MINGW_ARCHIVE, a prebuilt archive of the same recipe).
qt-mingw:
	$(call install_missing,$(QT_MINGW_PACKAGES))
	tools/build-qt-mingw.sh $(QT_MINGW)

# The program for 64-bit Windows, cross-compiled with MinGW-w64, in a folder ready to run, with
# its test programs.
windows: qt-mingw
	$(call install_missing,$(WINDOWS_PACKAGES))
	@[ -f $(WINDOWS_BUILD)/build.ninja ] || cmake -S . -B $(WINDOWS_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(QT_MINGW)/lib/cmake/Qt6/qt.toolchain.cmake \
	  -DQT_CHAINLOAD_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake
	cmake --build $(WINDOWS_BUILD)

# The portable zip and the installer, in $(WINDOWS_BUILD).
windows-package: windows
	cmake --build $(WINDOWS_BUILD) --target windows-package

# The Windows tests under Wine, on an X server of their own: the core's, the window tests (again
# at 125%, 150% and 200%, on a screen that holds the main window at 200%) and the installer's end
# to end.
test-windows: windows-package
	$(call install_missing,$(WINDOWS_TEST_PACKAGES))
	@# The tests run through Wine only where the build was configured with Wine installed.
	cmake $(WINDOWS_BUILD) >/dev/null
	cd $(WINDOWS_BUILD) && xvfb-run -a -s '-screen 0 1600x1200x24' ctest --output-on-failure

# The Debian package, in $(BUILD).
package: build
	$(call install_missing,$(PACKAGING_PACKAGES))
	cd $(BUILD) && cpack

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer; any finding
# fails its test.
SANITIZE_BUILD ?= build-sanitize
test-sanitize: setup
	@[ -f $(SANITIZE_BUILD)/build.ninja ] || cmake -S . -B $(SANITIZE_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Debug \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
	cmake --build $(SANITIZE_BUILD)
	cd $(SANITIZE_BUILD) && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure

# libFuzzer targets over the parsers and checks, and over the windows against the model of every
# press, FUZZ_SECONDS each (60 by default); a finding stops with an error and leaves the input
# that caused it in $(FUZZ_BUILD). The windows' target leaves out the leaks of the libraries Qt
# loads, as the tests do.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := netlink_reply proc_net_tcp input_checks names presses
fuzz: setup
	$(call install_missing,clang libclang-rt-dev libunistring-dev)
	@[ -f $(FUZZ_BUILD)/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	  -DSOCKVIEW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD)
	@for target in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$target; \
	  echo "fuzz_$$target: $(FUZZ_SECONDS) s"; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  $(FUZZ_BUILD)/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=$(FUZZ_BUILD)/ \
	    $(FUZZ_BUILD)/corpus/$$target fuzz/corpus/$$target >$(FUZZ_BUILD)/$$target.log 2>&1 \
	    || { tail -n 40 $(FUZZ_BUILD)/$$target.log; exit 1; }; \
	  grep -E '^Done' $(FUZZ_BUILD)/$$target.log; \
	done
