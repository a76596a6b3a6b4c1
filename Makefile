# make run   : install what is missing, build, start the simulator from the repository root
# make test  : install what is missing, build, run every test (GL and end-to-end ones under Xvfb,
#              the unit tests a second time under AddressSanitizer + UndefinedBehaviorSanitizer)
PACKAGES := build-essential cmake pkg-config python3 libglut-dev libgl-dev libglu1-mesa-dev \
            libgl1-mesa-dri libgtest-dev libgmock-dev libbenchmark-dev libfast-float-dev \
            libtinyobjloader-dev xvfb xauth xdotool x11-apps x11-utils imagemagick
JOBS ?= $(shell nproc)
# -noreset: Xvfb would otherwise reset, refusing connections, each time its last client leaves.
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"

.PHONY: all deps build build-asan run test bench clean

all: build

deps:
	@sh tools/deps.sh $(PACKAGES)

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DRENDEZVOUS_SANITIZE=ON >/dev/null
	cmake --build build-asan -j $(JOBS) --target unit_tests

run: build
	./build/rendezvous

test: build build-asan
	$(XVFB) ctest --test-dir build --output-on-failure -j $(JOBS) -LE e2e
	$(XVFB) ctest --test-dir build --output-on-failure -L e2e
	ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j $(JOBS) -L unit

bench: build
	for b in build/bench/bench_*; do $$b; done

clean:
	rm -rf build build-asan
