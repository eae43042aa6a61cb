# Thin wrapper over CMake: `make run` builds and starts the engine, `make test` runs every test.
BUILD    ?= build
SANBUILD ?= build-sanitize
TSANBUILD ?= build-tsan
JOBS     ?= $(shell nproc)

.PHONY: all setup build run test test-release test-sanitize test-thread bench clean

all: build

# Installs what a fresh Debian machine lacks (see tools/setup.sh); a no-op when all is there.
setup:
	@bash tools/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/tarvo

test: test-release test-sanitize test-thread

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure

test-sanitize: setup
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVO_SANITIZE=ON >/dev/null
	cmake --build $(SANBUILD) -j $(JOBS)
	ctest --test-dir $(SANBUILD) --output-on-failure

# ThreadSanitizer: only the engine and the programs of the tests that run threads are built.
test-thread: setup
	cmake -S . -B $(TSANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVO_TSAN=ON >/dev/null
	cmake --build $(TSANBUILD) -j $(JOBS) --target tarvo search_tests uci_tests e2e_tests
	ctest --test-dir $(TSANBUILD) --output-on-failure

bench: build
	./$(BUILD)/tarvo bench

clean:
	rm -rf $(BUILD) $(SANBUILD) $(TSANBUILD)
