# Set-up, build, run and test on Debian or Ubuntu. Missing packages are installed with apt-get.
BUILD ?= build
WINDOWS_BUILD ?= build-win
PACKAGES := cmake ninja-build g++ make pkg-config qt6-base-dev libqt6svg6 fonts-dejavu-core \
            iproute2 xvfb xauth xdotool xclip
WINDOWS_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 python3 iproute2
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: setup configure build run test bench test-windows

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

# The core for Windows, cross-compiled with MinGW-w64, and its tests run under Wine.
test-windows:
	$(call install_missing,$(WINDOWS_PACKAGES))
	@[ -f $(WINDOWS_BUILD)/build.ninja ] || \
	  cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
	cmake --build $(WINDOWS_BUILD)
	cd $(WINDOWS_BUILD) && ctest --output-on-failure
