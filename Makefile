# Set-up, build, run and test on Debian or Ubuntu. Missing packages are installed with apt-get.
BUILD ?= build
PACKAGES := cmake ninja-build g++ make pkg-config qt6-base-dev libqt6svg6 fonts-dejavu-core \
            iproute2 xvfb xauth xdotool xclip
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: setup configure build run test bench

setup:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

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
