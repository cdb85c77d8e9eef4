# Front door of the build. `make demo` and `make test` install what is missing, build and run.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

PREFIX ?=

.PHONY: all deps build install deb demo test test-unit test-asan test-tsan test-fuzz bench clean

all: build

deps:
	@tools/install-deps.sh

# The test builds fail on any compiler warning; `build` and `demo` do not, so that a newer compiler that warns
# about something new still builds the plug-ins. (test-unit and build share the build folder: going from one to
# the other rebuilds it.)
WERROR = -DTAVIK_WERROR=ON

build: deps
	cmake -S . -B build -G Ninja -DTAVIK_WERROR=OFF $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# Without PREFIX: the VST 2 libraries into ~/.vst and the LV2 bundles into ~/.lv2. With PREFIX: into
# $(PREFIX)/lib/lxvst and $(PREFIX)/lib/lv2.
install: build
ifeq ($(PREFIX),)
	cmake -S . -B build -DTAVIK_VST_DEST=.vst -DTAVIK_LV2_DEST=.lv2 -DTAVIK_BIN_DEST=.local/bin \
	  -DTAVIK_APPS_DEST=.local/share/applications -DTAVIK_INSTALL_ROOT=$(HOME)
	cmake --build build -j $(JOBS)
	cmake --install build --prefix $(HOME)
else
	cmake -S . -B build -DTAVIK_VST_DEST=lib/lxvst -DTAVIK_LV2_DEST=lib/lv2 -DTAVIK_BIN_DEST=bin \
	  -DTAVIK_APPS_DEST=share/applications -DTAVIK_INSTALL_ROOT=$(PREFIX)
	cmake --build build -j $(JOBS)
	cmake --install build --prefix $(PREFIX)
endif

# A Debian package with both formats in /usr/lib/lxvst and /usr/lib/lv2.
deb: build
	cmake -S . -B build -DTAVIK_VST_DEST=lib/lxvst -DTAVIK_LV2_DEST=lib/lv2 -DTAVIK_BIN_DEST=bin \
	  -DTAVIK_APPS_DEST=share/applications -DTAVIK_INSTALL_ROOT=/usr
	cmake --build build -j $(JOBS)
	cd build && cpack -G DEB

demo: build
	build/vsthost demo demo-out

test: test-unit test-asan test-tsan test-fuzz

test-unit: deps
	cmake -S . -B build -G Ninja $(WERROR) $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)
	cd build && ctest --no-tests=error --output-on-failure -j $(JOBS)

# Address and undefined-behaviour sanitizers over the whole suite.
test-asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVIK_SANITIZE=address,undefined $(WERROR)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --no-tests=error --output-on-failure -j $(JOBS) -LE nosan

# Thread sanitizer over the tests that run the audio thread against another thread.
test-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIK_SANITIZE=thread -DTAVIK_HOST=OFF $(WERROR)
	cmake --build build-tsan -j $(JOBS) --target test_realtime_threads test_amp_threads test_cabinet test_preamp_threads test_shell_threads test_plugins_threads test_editor_threads
	cd build-tsan && ctest --no-tests=error --output-on-failure -L threads

# Coverage-guided fuzzing of everything that reads outside data, each target bounded in time.
test-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAVIK_FUZZ=ON -DTAVIK_TESTS=OFF -DTAVIK_HOST=OFF $(WERROR)
	cmake --build build-fuzz -j $(JOBS) --target fuzzers
	@set -e; for f in build-fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  work=$$(mktemp -d); \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -artifact_prefix=$$work/ $$work fuzz/corpus-$$(basename $$f) > $$work.log 2>&1 \
	    || { tail -n 40 $$work.log; echo "failing input kept in $$work"; exit 1; }; tail -n 2 $$work.log; rm -rf $$work $$work.log; \
	done

bench: deps
	cmake -S . -B build-bench -G Ninja -DTAVIK_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench demo-out
