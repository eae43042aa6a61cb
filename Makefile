# Thin wrapper over CMake: `make run` builds and starts the engine, `make test` runs every test.
BUILD    ?= build
SANBUILD ?= build-sanitize
TSANBUILD ?= build-tsan
PORTABLEBUILD ?= build-portable
# PORTABLE=1: a `make build` that runs on any x86-64 processor, not only on machines like this one.
PORTABLE ?= 0
JOBS     ?= $(shell nproc)

.PHONY: all setup build run test test-release test-portable test-sanitize test-thread bench clean

all: build

# Installs what a fresh Debian machine lacks (see tools/setup.sh); a no-op when all is there.
setup:
	@bash tools/setup.sh

# Link-time and profile-guided optimisation (trained on the bench) where the compiler has them.
build: setup
	@PORTABLE=$(PORTABLE) bash tools/optimised_build.sh $(BUILD) $(JOBS)

run: build
	@./$(BUILD)/tarvo

test: test-release test-portable test-sanitize test-thread test-fuzz test-web

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure

# The portable build, as `make build PORTABLE=1` makes it, in its own folder.
test-portable: setup
	@PORTABLE=1 bash tools/optimised_build.sh $(PORTABLEBUILD) $(JOBS)
	ctest --test-dir $(PORTABLEBUILD) --output-on-failure

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
	rm -rf $(BUILD) $(PORTABLEBUILD) $(SANBUILD) $(TSANBUILD) $(FUZZBUILD)

# Fuzzing with clang's libFuzzer in its own build folder: `make fuzz` runs each target for
# FUZZ_RUNS inputs; `make test` ends with the short pass of tests/fuzz/CMakeLists.txt.
# TARVO_NO_FUZZ=1 (a machine without clang) skips the pass.
FUZZBUILD ?= build-fuzz
FUZZ_RUNS ?= 1000000
FUZZ_TARGETS := position commands

.PHONY: fuzz fuzz-build test-fuzz

fuzz-build: setup
	cmake -S . -B $(FUZZBUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTARVO_FUZZ=ON >/dev/null
	cmake --build $(FUZZBUILD) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

fuzz: fuzz-build
	@for target in $(FUZZ_TARGETS); do \
		log=$(FUZZBUILD)/fuzz_$$target.log; \
		echo "fuzz_$$target: $(FUZZ_RUNS) inputs (log: $$log)"; \
		./$(FUZZBUILD)/tests/fuzz/fuzz_$$target -runs=$(FUZZ_RUNS) -timeout=10 \
			-print_final_stats=1 $(FUZZBUILD)/fuzz-corpus/$$target \
			tests/fuzz/corpus/$$target >$$log 2>&1 \
			|| { tail -n 60 $$log; exit 1; }; \
		grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec)' $$log; \
	done

test-fuzz:
ifeq ($(TARVO_NO_FUZZ),1)
	@echo "fuzz pass skipped (TARVO_NO_FUZZ=1)"
else
	$(MAKE) --no-print-directory fuzz-build
	ctest --test-dir $(FUZZBUILD) -L fuzz --output-on-failure
endif

# The page (web/): `make play` serves it on 127.0.0.1 and prints its address (PORT picks the
# port, SYZYGY=folder gives every engine a tablebase path); Ctrl-C stops it and its engines.
# web/setup.sh installs Node.js, npm and the locked packages where missing (and chromium for
# the browser tests); web/build.mjs bundles the page into web/dist/.
ENGINE ?= $(abspath $(BUILD))/tarvo

.PHONY: play web-bundle test-web

web-bundle:
	@bash web/setup.sh
	@node web/build.mjs

play: build web-bundle
	@ENGINE="$(ENGINE)" node web/server/main.js

test-web: build
	@bash web/setup.sh --browser
	@node web/build.mjs
	cd web && ENGINE="$(ENGINE)" node --test test/*.test.js
