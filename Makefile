# Tessarine: `make run` and `make test` do all set-up on a fresh Debian 12 machine.
BUILD      ?= build
JOBS       ?= $(shell nproc)
PACKAGES   := cmake make g++ pkg-config qt6-base-dev libcurl4-openssl-dev \
              libtinyxml-dev libcpp-httplib-dev libgtest-dev libgmock-dev \
              libbenchmark-dev clang libclang-rt-14-dev curl xvfb xauth
CMAKE_ARGS ?=

.PHONY: all deps configure build run test bench test-asan test-tsan fuzz clean

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

test-asan: deps
	$(MAKE) test BUILD=build-asan CMAKE_ARGS="-DTESSARINE_SANITIZE=address,undefined"

test-tsan: deps
	$(MAKE) test BUILD=build-tsan CMAKE_ARGS="-DTESSARINE_SANITIZE=thread"

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTESSARINE_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ./build-bench/bench/tessarine_bench

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARINE_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	cd build-fuzz && ctest -L fuzz-long --output-on-failure

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
