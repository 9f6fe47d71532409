# Tessarine: `make run` and `make test` do all set-up on a fresh Debian 12 machine.
BUILD      ?= build
JOBS       ?= $(shell nproc)
PACKAGES   := cmake make g++ pkg-config qt6-base-dev libcurl4-openssl-dev \
              libtinyxml-dev libcpp-httplib-dev libgtest-dev libgmock-dev \
              libbenchmark-dev clang libclang-rt-14-dev curl xvfb xauth \
              qt6-translations-l10n dbus-daemon desktop-file-utils appstream \
              dpkg-dev lintian locales ccache g++-mingw-w64-x86-64-posix \
              libsqlite3-dev nlohmann-json3-dev
CMAKE_ARGS ?=
# Where `make install` puts the program; DESTDIR is honoured as usual.
PREFIX     ?= /usr/local
# Seconds of libFuzzer per target in `make fuzz`.
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test test-stress install deb bench test-asan test-tsan \
        thread-safety check-windows fuzz clean

all: build

# Installs the Debian packages that are missing: with apt-get when run as root,
# otherwise prints the one line to run and stops.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null || exit 1; \
	  else \
	    echo "Missing packages. Run:"; echo "  sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/tessarine

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# The whole suite twice in random order while two busy loops keep the
# processors loaded, on a monotonic clock that reads as if the machine had
# been started half a minute ago: no test may depend on the machine's uptime,
# speed or load. The young clock needs root and `unshare --time`; without
# them the suite runs on the machine's own clock (and says so).
test-stress: build
	@cd $(BUILD) || exit 1; \
	  ( while :; do :; done ) & busy1=$$!; \
	  ( while :; do :; done ) & busy2=$$!; \
	  trap 'kill $$busy1 $$busy2 2>/dev/null' EXIT INT TERM; \
	  run="ctest --output-on-failure --no-tests=error -j $(JOBS) --timeout 300 --schedule-random --repeat until-fail:2"; \
	  if [ "$$(id -u)" = 0 ] && unshare --help 2>/dev/null | grep -q -- --time; then \
	    up=$$(cut -d. -f1 /proc/uptime); \
	    echo "Monotonic clock set back to 30 s after start (from $$up s)"; \
	    QT_QPA_PLATFORM=offscreen unshare --time --fork --monotonic -$$((up - 30)) $$run; \
	  else \
	    echo "Note: not root or no unshare --time: the suite runs on the machine's own clock"; \
	    QT_QPA_PLATFORM=offscreen $$run; \
	  fi

# The programs, launcher, icons, metadata and manual pages below PREFIX.
install: configure
	cmake --build $(BUILD) -j $(JOBS) --target tessarine_programs
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the same files below /usr, with its dependencies found
# by dpkg-shlibdeps, checked by lintian: $(BUILD)/tessarine_<version>_<arch>.deb.
deb: configure
	cmake --build $(BUILD) -j $(JOBS) --target tessarine_programs
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error $(BUILD)/tessarine_*.deb

# The whole suite under AddressSanitizer with UndefinedBehaviorSanitizer, and
# under ThreadSanitizer. Their options (halt on the first report, leak checks)
# and suppression files are set per test by tests/CMakeLists.txt.
test-asan: deps
	$(MAKE) test BUILD=build-asan CMAKE_ARGS="-DTESSARINE_SANITIZE=address,undefined $(CMAKE_ARGS)"

test-tsan: deps
	$(MAKE) test BUILD=build-tsan CMAKE_ARGS="-DTESSARINE_SANITIZE=thread $(CMAKE_ARGS)"

# clang's thread-safety analysis over the lock annotations (the shared model's
# lock and the fields it guards), every finding an error.
thread-safety: deps
	CC=clang CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-Wthread-safety -Werror=thread-safety" $(CMAKE_ARGS)
	cmake --build build-clang -j $(JOBS) --target tessarine_core tessarine

# Every Windows source and every source with a Windows branch, compiled for
# Windows by the MinGW-w64 cross compiler, syntax only (see the README).
check-windows: deps
	JOBS=$(JOBS) cmake/check-windows.sh build-windows

# Builds only the benchmark program (and the program it starts), not the tests.
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTESSARINE_BENCH=ON
	cmake --build build-bench -j $(JOBS) --target tessarine_bench
	QT_QPA_PLATFORM=offscreen ./build-bench/bench/tessarine_bench

# libFuzzer (clang) on every fuzz target for FUZZ_SECONDS each, seeded from
# tests/fuzz/corpus, tests/fuzz/regressions and the shared feeds; what it
# finds is kept in build-fuzz/tests/fuzz/corpus, crashes in .../artifacts.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTESSARINE_FUZZ=ON -DTESSARINE_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build build-fuzz -j $(JOBS) --target fuzz_targets
	@cd build-fuzz && ctest -L fuzz-long -j $(JOBS) -V > fuzz.log 2>&1; status=$$?; \
	  grep -E "Test +#|stat::number_of_executed_units|tests passed|SUMMARY|check failed|unit written" fuzz.log; \
	  [ $$status -eq 0 ] || { echo "make fuzz failed: see build-fuzz/fuzz.log"; exit 1; }

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz build-clang build-windows
