# make run   : install what is missing, build, start the simulator from the repository root
# make check : build, check the C++ format, then the unit and GL tests only (under Xvfb), in seconds
# make test  : install what is missing, build, run every test (GL and end-to-end ones under Xvfb,
#              the unit and end-to-end tests a second time under AddressSanitizer +
#              UndefinedBehaviorSanitizer, the fuzz corpora replayed and each fuzzer run briefly)
# make fuzz  : the long fuzzing campaign, FUZZ_TIME seconds per fuzzer, two at a time; then
#              `make fuzz-corpus` folds what it found into the committed corpora of fuzz/corpus/
# make web   : install what is missing, build the simulator for the browser into the static site
#              build-web/site (emscripten); `make serve` shows it at http://localhost:8000/; `make test`
#              drives the page in Chromium, Firefox ESR and WebKitGTK
# make install : build, then install under PREFIX (/usr/local by default), staged under DESTDIR if given
# make package : build, then the Debian package build/rendezvous_<version>_<arch>.deb
PACKAGES := build-essential cmake pkg-config python3 libglut-dev libgl-dev libglu1-mesa-dev \
            libgl1-mesa-dri libgtest-dev libgmock-dev libbenchmark-dev libfast-float-dev \
            libtinyobjloader-dev xvfb xauth xdotool x11-apps x11-utils imagemagick \
            clang clang-format libclang-rt-14-dev dpkg-dev desktop-file-utils man-db
# The browser build and its test: emscripten, and Chromium driven by Selenium; Liberation Sans stands
# in for Helvetica in the page's bitmap text.
WEB_PACKAGES := emscripten chromium chromium-driver python3-selenium fonts-liberation
# The page's test also runs in Firefox ESR, driven by puppeteer-core from npm (Debian has no
# geckodriver), and in WebKitGTK's MiniBrowser through WebKitWebDriver. Node.js brings npm where it
# is not Debian's own; Debian's needs its npm package.
BROWSER_PACKAGES := firefox-esr webkit2gtk-driver libwebkit2gtk-4.1-0 nodejs $(if $(shell command -v npm),,npm)
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
# -noreset: Xvfb would otherwise reset, refusing connections, each time its last client leaves.
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"
# The same from display N up: lanes that start together each look from a number of their own.
XVFB_ON = xvfb-run -a -n $(1) -s "-screen 0 1280x1024x24 -noreset"

.PHONY: all deps deps-web deps-browsers web serve build build-asan build-fuzz run install package check test bench clean fuzz fuzz-short fuzz-replay \
        fuzz-corpus

# The fuzz targets of fuzz/, and the files of tests/data/ each one also replays.
FUZZERS := obj scenario ppm vol
FUZZ_EXT_obj := obj
FUZZ_EXT_scenario := in
FUZZ_EXT_ppm := ppm
FUZZ_EXT_vol := vol
FUZZ_TIME ?= 1200
# -max_len: small inputs reach the same code far faster than whole models do.
# -close_fd_mask=3: the readers' messages would slow the runs down; libFuzzer's own reports still show.
FUZZ_FLAGS := -timeout=10 -max_len=8192 -close_fd_mask=3 -print_final_stats=1

all: build

deps:
	@sh tools/deps.sh $(PACKAGES)

deps-web:
	@sh tools/deps.sh $(PACKAGES) $(WEB_PACKAGES)

# The browsers of the page's test, and puppeteer-core at the version tests/web/package-lock.json holds.
# scorm-again too, the SCORM 1.2 runtime that the platform's test (tests/web/test_scorm.py) hosts the
# package under: Debian packages none.
deps-browsers: tests/web/node_modules/.package-lock.json
tests/web/node_modules/.package-lock.json: tests/web/package-lock.json
	@sh tools/deps.sh $(PACKAGES) $(WEB_PACKAGES) $(BROWSER_PACKAGES)
	npm ci --prefix tests/web --no-audit --no-fund --loglevel=error

# Debian's emscripten runs on the system's Node.js; NODE_PATH finds its acorn where that Node.js
# is not Debian's own.
EMENV := NODE_PATH=/usr/share/nodejs
web: deps-web
	$(EMENV) emcmake cmake -S web -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
	$(EMENV) cmake --build build-web -j $(JOBS)
	@echo "The site: build-web/site ($$(du -sk build-web/site | cut -f1) KiB); make serve shows it."

# make scorm: the site as a SCORM 1.2 package for a learning platform, build-web/rendezvous-scorm.zip;
# SCORM_LAUNCH='?cas=2' makes its flights of scenario 2 the graded ones (the program's first otherwise).
.PHONY: scorm
scorm: web
	$(EMENV) emcmake cmake -S web -B build-web -DSCORM_LAUNCH='$(SCORM_LAUNCH)' >/dev/null
	$(EMENV) cmake --build build-web --target scorm
	@echo "The package: build-web/rendezvous-scorm.zip ($$(du -k build-web/rendezvous-scorm.zip | cut -f1) KiB)."
# The page's test in a platform hosts the package.
test: scorm

serve: web
	python3 -m http.server --bind 127.0.0.1 --directory build-web/site 8000

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DRENDEZVOUS_SANITIZE=ON >/dev/null
	cmake --build build-asan -j $(JOBS) --target unit_tests rendezvous

build-fuzz: deps
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	      -DRENDEZVOUS_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZERS:%=fuzz_%)

run: build
	./build/rendezvous

install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)" --strip

package: build
	cd build && cpack

# Leaks inside the GL driver and GLUT are theirs, listed in tools/lsan.supp; the program's are not.
SAN_ENV := ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0

# The inner loop: the unit and GL tests, and the C++ sources in the project's .clang-format style.
check: build
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')
	$(XVFB) ctest --test-dir build --output-on-failure -j $(JOBS) -L 'unit|gl'

# The fuzzers first, alone, since they take both cores; then the tests in two lanes side by side, each
# under an X display of its own and writing its own log: much of their time is waiting on real-time
# flights and browsers, so the lanes share the two cores well. Only one lane runs ctest, so that no two
# ctest runs share a build folder. The logs are shown whole at the end, each lane's verdict last.
LANES := lane-pages lane-rest
.PHONY: $(LANES)
test: build build-asan build-fuzz web deps-browsers
	$(MAKE) --no-print-directory fuzz-replay
	$(MAKE) --no-print-directory fuzz-short
	@rm -f build/lane-*.log build/lane-*.verdict
	@$(MAKE) --no-print-directory -k -j 2 $(LANES); status=$$?; \
	  for l in $(LANES); do echo "======== $$l"; cat build/$$l.log; done; cat build/lane-*.verdict; exit $$status

# Runs the commands after the lane's name into its log, and its verdict, with the seconds it took, into
# another.
LANE = run() { name=$$1; shift; start=$$(date +%s); if ( "$$@" ) >build/$$name.log 2>&1; then v=passed; else v=FAILED; fi; \
       echo "$$name: $$v in $$(($$(date +%s) - start)) s" >build/$$name.verdict; [ $$v = passed ]; }; run
# The pages' tests in Chromium: those that ctest lists as web.chromium, web.classe and web.scorm, run
# here without ctest.
PAGE_TESTS := web.chromium|web.classe|web.scorm
lane-pages:
	@$(LANE) $@ sh -c 's=0; $(call XVFB_ON,95) /usr/bin/python3 tests/web/test_page.py build-web/site chromium || s=1; \
	  $(call XVFB_ON,95) /usr/bin/python3 tests/web/test_classe.py build-web/site || s=1; \
	  $(call XVFB_ON,95) /usr/bin/python3 tests/web/test_scorm.py build-web/rendezvous-scorm.zip || s=1; exit $$s'
lane-rest:
	@$(LANE) $@ sh -c '$(call XVFB_ON,91) ctest --test-dir build --output-on-failure -j $(JOBS) -E "$(PAGE_TESTS)" && \
	  $(SAN_ENV) ctest --test-dir build-asan --output-on-failure -j $(JOBS) -L unit && \
	  $(SAN_ENV) $(call XVFB_ON,91) ctest --test-dir build-asan --output-on-failure -L e2e'

# make figures: the planner's pictures of the help pages (scenario 2, in French and in English) and of
# the README (scenario 5).
# Written again by the planner itself, they cannot drift from the plans it prints.
.PHONY: figures
figures: build
	./build/rendezvous-plan --svg data/plan-fo2.svg data/fo2.in >/dev/null
	./build/rendezvous-plan --lang en --svg data/plan-fo2-en.svg data/fo2.in >/dev/null
	./build/rendezvous-plan --svg docs/plan-fo5.svg data/fo5.in >/dev/null

bench: build
	for b in build/bench/bench_*; do $$b; done

# Every corpus file and every test file of the target's kind, each run once.
fuzz-replay: build-fuzz
	@set -e; for t in $(FUZZERS); do \
	  case $$t in obj) ext=$(FUZZ_EXT_obj);; scenario) ext=$(FUZZ_EXT_scenario);; ppm) ext=$(FUZZ_EXT_ppm);; vol) ext=$(FUZZ_EXT_vol);; esac; \
	  files=$$(find fuzz/corpus/$$t -type f; find tests/data -maxdepth 1 -name "*.$$ext"); \
	  echo "fuzz_$$t: replaying $$(echo $$files | wc -w) files"; \
	  build-fuzz/fuzz/fuzz_$$t -close_fd_mask=3 $$files >build-fuzz/replay-$$t.log 2>&1 \
	    || { tail -n 80 build-fuzz/replay-$$t.log; exit 1; }; \
	done

# One fuzzer for FUZZ_TIME seconds, from the committed corpus; new inputs go to build-fuzz/corpus/,
# findings to build-fuzz/artifacts/.
fuzz-run-%:
	@mkdir -p build-fuzz/corpus/$* build-fuzz/artifacts
	@echo "fuzz_$*: $(FUZZ_TIME) s"
	@build-fuzz/fuzz/fuzz_$* $(FUZZ_FLAGS) -max_total_time=$(FUZZ_TIME) -artifact_prefix=build-fuzz/artifacts/$*- \
	  build-fuzz/corpus/$* fuzz/corpus/$* >build-fuzz/fuzz-$*.log 2>&1 \
	  || { tail -n 80 build-fuzz/fuzz-$*.log; exit 1; }
	@echo "fuzz_$*: $$(grep -E '^#[0-9]+' build-fuzz/fuzz-$*.log | tail -n 1)"

fuzz-short: build-fuzz
	$(MAKE) --no-print-directory -j 2 FUZZ_TIME=10 $(FUZZERS:%=fuzz-run-%)

fuzz: build-fuzz
	$(MAKE) --no-print-directory -j 2 $(FUZZERS:%=fuzz-run-%)

# The committed corpora, minimised afresh with what the runs found (fuzz/seed.py wrote the first ones):
# the fewest inputs that reach every edge (-use_counters=0: hit counts would keep hundreds more), so
# that they stay small; build-fuzz/corpus/ keeps everything for the next campaign.
fuzz-corpus: build-fuzz
	@set -e; for t in $(FUZZERS); do \
	  rm -rf build-fuzz/merged/$$t; mkdir -p build-fuzz/merged/$$t build-fuzz/corpus/$$t; \
	  build-fuzz/fuzz/fuzz_$$t -merge=1 -use_counters=0 -close_fd_mask=3 build-fuzz/merged/$$t fuzz/corpus/$$t build-fuzz/corpus/$$t \
	    >build-fuzz/merge-$$t.log 2>&1 || { tail -n 40 build-fuzz/merge-$$t.log; exit 1; }; \
	  rm -rf fuzz/corpus/$$t; mv build-fuzz/merged/$$t fuzz/corpus/$$t; \
	  echo "fuzz/corpus/$$t: $$(ls fuzz/corpus/$$t | wc -l) files"; \
	done

clean:
	rm -rf build build-asan build-fuzz build-web
