# Set-up, build, run and test on Debian or Ubuntu. Missing packages are installed with apt-get.
BUILD ?= build
WINDOWS_BUILD ?= build-win
PACKAGES := cmake ninja-build g++ make pkg-config qt6-base-dev libxcb1-dev libqt6svg6 qt6-wayland \
            fonts-dejavu-core fonts-liberation2 iproute2 xvfb xauth xdotool xclip x11-utils openbox \
            wmctrl python3 librsvg2-bin
WINDOWS_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 python3 iproute2
PACKAGING_PACKAGES := dpkg-dev file appstream desktop-file-utils
CHECK_PACKAGES := clang-format git
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: setup configure build run test bench test-windows package test-sanitize fuzz check

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

# The layers include only downwards, and every C++ file is formatted.
check:
	$(call install_missing,$(CHECK_PACKAGES))
	tools/check-layers.sh
	tools/check-format.sh

# The core for Windows, cross-compiled with MinGW-w64, and its tests run under Wine.
test-windows:
	$(call install_missing,$(WINDOWS_PACKAGES))
	@[ -f $(WINDOWS_BUILD)/build.ninja ] || \
	  cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
	cmake --build $(WINDOWS_BUILD)
	cd $(WINDOWS_BUILD) && ctest --output-on-failure

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

# libFuzzer targets over the parsers and checks, FUZZ_SECONDS each (60 by default); a finding
# stops with an error and leaves the input that caused it in $(FUZZ_BUILD).
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := netlink_reply proc_net_tcp input_checks text_cutters
fuzz: setup
	$(call install_missing,clang libclang-rt-dev)
	@[ -f $(FUZZ_BUILD)/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	  -DSOCKVIEW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD)
	@for target in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$target; \
	  echo "fuzz_$$target: $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=$(FUZZ_BUILD)/ \
	    $(FUZZ_BUILD)/corpus/$$target fuzz/corpus/$$target >$(FUZZ_BUILD)/$$target.log 2>&1 \
	    || { tail -n 40 $(FUZZ_BUILD)/$$target.log; exit 1; }; \
	  grep -E '^Done' $(FUZZ_BUILD)/$$target.log; \
	done
