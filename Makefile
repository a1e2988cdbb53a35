# The newcomer's entry points: `make demo` and `make test`. Each installs what is missing,
# builds, and runs.

DEBIAN_PACKAGES := cmake ninja-build g++ make pkg-config binutils \
  googletest libgtest-dev libgmock-dev libbenchmark-dev \
  libicu-dev zlib1g-dev libssl-dev libcpp-httplib-dev \
  clang libclang-rt-14-dev libcurl4-openssl-dev libgtk-3-dev libgtksourceview-4-dev xvfb xauth libsqlite3-dev

DEBUG_DIR   := build/debug
RELEASE_DIR := build/release
FUZZ_DIR    := build/fuzz
FUZZ_SECONDS ?= 600
JOBS        ?= $(shell nproc)
SUDO        := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build release fuzz-build test bench demo fuzz format check-layers clean

all: build

# Installs the Debian packages that are missing; quiet when nothing is.
deps:
	@missing=""; \
	for p in $(DEBIAN_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(DEBUG_DIR)/build.ninja:
	cmake -S . -B $(DEBUG_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug

$(RELEASE_DIR)/build.ninja:
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(DEBUG_DIR)/build.ninja
	cmake --build $(DEBUG_DIR) -j $(JOBS)

release: deps $(RELEASE_DIR)/build.ninja
	cmake --build $(RELEASE_DIR) -j $(JOBS)

$(FUZZ_DIR)/build.ninja:
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DALLSQL_BUILD_FUZZ=ON -DALLSQL_BUILD_TESTS=OFF \
	  -DALLSQL_BUILD_BENCH=OFF -DALLSQL_WERROR=OFF

# The libFuzzer targets (clang, ASan + UBSan), in build/fuzz.
fuzz-build: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) --target fuzzers -j $(JOBS)

# Every test, in the sanitizer build, and each fuzz target for a minute. ctest's summary is the
# last thing printed.
test: build fuzz-build
	ctest --test-dir $(DEBUG_DIR) -j $(JOBS) --output-on-failure

# Each fuzz target for FUZZ_SECONDS (default 600) on a scratch copy of its seed corpus.
fuzz: fuzz-build
	@for f in $(FUZZ_DIR)/fuzz/*_fuzz; do \
	  [ -x "$$f" ] || continue; n=$$(basename $$f); echo "== $$n"; \
	  bash scripts/run_fuzz.sh "$$f" fuzz/$${n}_corpus $(FUZZ_SECONDS) || exit 1; \
	done

# The benchmarks, in the Release build.
bench: release
	@for b in $(RELEASE_DIR)/bench/*_bench; do \
	  [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; \
	done

# The update dialog end to end, without a display: the stand-in results service on loopback, a
# fresh database directory, and allsql-host driving the console dialog through Pobierz, Wykonaj,
# Pobierz again and Zamknij. Until the engine's query component exists, the plug-in library it
# loads is the one built on the in-memory query double (tests/plugin/liballsql.so).
demo: release
	bash tools/allsql-host/demo.sh $(RELEASE_DIR)

check-layers:
	bash scripts/check_layers.sh

format:
	find src tests bench tools fuzz -name '*.h' -o -name '*.cpp' 2>/dev/null | xargs -r clang-format -i

clean:
	rm -rf build
