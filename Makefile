# Tessaly: build, test and run. Every target installs what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DTESSALY_WERROR=ON

# Debian packages the build, the tests and the application need (the last
# line: the Debian package, its manual pages and the tools that check them).
DEB_PACKAGES := cmake make g++ pkg-config ccache \
	qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-websockets-dev qt6-svg-dev \
	qt6-qpa-plugins xvfb xauth fonts-dejavu-core fonts-droid-fallback \
	libqt6network6 libqt6gui6 libgl-dev \
	libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev libexiv2-dev \
	xdg-utils \
	dpkg-dev file scdoc gzip groff-base man-db lintian appstream desktop-file-utils systemd

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# ccache shares its cache between checkouts in different folders.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := true

.PHONY: all deps configure build check check-asan run demo screenshots install deb clean bench

all: build

deps:
	@missing=""; \
	for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	else \
	  echo "All build packages are installed."; \
	fi

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

check: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) --timeout 300

check-asan: deps
	cmake -S . -B $(BUILD_DIR)-asan -DTESSALY_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)-asan -j$(JOBS)
	cd $(BUILD_DIR)-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) --timeout 600

run: build
	$(BUILD_DIR)/bin/tessaly

demo: build
	$(BUILD_DIR)/bin/tessaly --demo

# Pictures of every window on the demo profile, under a virtual X server, in
# a throwaway home so that no real preferences or demo data are touched.
SHOTS_HOME := $(CURDIR)/$(BUILD_DIR)/screenshots-home
screenshots: build
	rm -rf $(SHOTS_HOME) $(BUILD_DIR)/screenshots
	mkdir -p $(SHOTS_HOME)/.config $(SHOTS_HOME)/.local/share $(SHOTS_HOME)/.cache $(SHOTS_HOME)/runtime
	chmod 700 $(SHOTS_HOME)/runtime
	HOME=$(SHOTS_HOME) XDG_CONFIG_HOME=$(SHOTS_HOME)/.config XDG_DATA_HOME=$(SHOTS_HOME)/.local/share \
	XDG_CACHE_HOME=$(SHOTS_HOME)/.cache XDG_RUNTIME_DIR=$(SHOTS_HOME)/runtime QT_QPA_PLATFORM=xcb \
	  xvfb-run -a -s "-screen 0 1600x1000x24" \
	  $(BUILD_DIR)/bin/tessaly --screenshots $(CURDIR)/$(BUILD_DIR)/screenshots
	@ls $(BUILD_DIR)/screenshots/*.png

# Into PREFIX (default /usr/local); DESTDIR stages it elsewhere, as packagers do.
PREFIX ?= /usr/local
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package, build/tessaly_<version>_amd64.deb: the files of
# `make install` under /usr.
deb: build
	cd $(BUILD_DIR) && cpack -G DEB
	@ls $(BUILD_DIR)/tessaly_*_amd64.deb

bench: build
	@for b in $(BUILD_DIR)/bin/bench/*; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan
