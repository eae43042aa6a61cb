# Thin wrapper over CMake: `make run` builds and starts the engine, `make test` runs every test.
BUILD    ?= build
SANBUILD ?= build-sanitize
JOBS     ?= $(shell nproc)

.PHONY: all build run test test-release test-sanitize bench clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/tarvo

test: test-release test-sanitize

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure

test-sanitize:
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVO_SANITIZE=ON >/dev/null
	cmake --build $(SANBUILD) -j $(JOBS)
	ctest --test-dir $(SANBUILD) --output-on-failure

bench: build
	./$(BUILD)/tarvo bench

clean:
	rm -rf $(BUILD) $(SANBUILD)
