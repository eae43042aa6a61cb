# Thin wrapper over CMake: `make run` builds and starts the engine, `make test` runs every test.
BUILD    ?= build
SANBUILD ?= build-sanitize
JOBS     ?= $(shell nproc)

.PHONY: all setup build run test test-release test-sanitize bench clean

all: build

# Installs what a fresh Debian machine lacks (see tools/setup.sh); a no-op when all is there.
setup:
	@bash tools/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/tarvo

test: test-release test-sanitize

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure

test-sanitize: setup
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVO_SANITIZE=ON >/dev/null
	cmake --build $(SANBUILD) -j $(JOBS)
	ctest --test-dir $(SANBUILD) --output-on-failure

bench: build
	./$(BUILD)/tarvo bench

clean:
	rm -rf $(BUILD) $(SANBUILD)
