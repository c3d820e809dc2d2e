# The two everyday commands, `make run` and `make test`, set up everything themselves on a
# fresh Debian 12 machine: missing packages, the build, and the services the run needs.
BUILD ?= build
JOBS ?= $(shell nproc)
SECONDS ?= 60

.PHONY: all deps build run test deb windows bench fuzz screenshots clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-program $(BUILD)

test: build
	@scripts/run-tests $(BUILD)

# The Debian package of the build: $(BUILD)/package/quavrel_<version>_<arch>.deb
deb: build
	cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/package

# The Windows package of the command-line tools: build-windows/quavrel-net-<version>-windows-x64.zip
windows: deps
	@scripts/make-windows-package

screenshots: build
	@scripts/run-program $(BUILD) --screenshots

bench: deps
	@scripts/run-bench

fuzz: deps
	@scripts/run-fuzz $(SECONDS)

clean:
	rm -rf $(BUILD) build-*
