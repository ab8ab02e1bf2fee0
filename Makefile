# The two commands that do everything on a fresh Debian machine (as root):
#   make demo   builds mird-check and runs the product's check on the sample installation
#   make test   installs what is missing, builds every target and runs every test
#   make package  the .deb (native build) and the Windows .zip files, in build/packages
# Other targets: bench (benchmarks), bench-verify (mird-check against md5sum on
# a generated tree), fuzz (every fuzz target for FUZZ_SECONDS), mutants (the
# mutation run: MUTANTS=smoke for the sample every test run checks, MUTANTS=id,id
# for some, WINDOWS=1 for the Windows half under Wine, MATRIX=FILE for which test kills
# which mutant), format, clean.
SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c
JOBS ?= $(shell nproc)
export WINEDEBUG := -all

# Debian packages the build and the tests need.
PACKAGES := cmake make g++ rapidjson-dev googletest libgtest-dev libbenchmark-dev libssl-dev \
            g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 wine wine64 \
            clang libclang-rt-14-dev g++-multilib qemu-user-static pkgconf dpkg-dev
NATIVE_PACKAGES := cmake make g++ rapidjson-dev googletest libgtest-dev
# How long `make fuzz` runs each fuzz target; `make test` runs each briefly.
FUZZ_SECONDS ?= 600
BENCH_VERIFY_PACKAGES := hyperfine time rhash b3sum
BENCH_PACKAGES := libspdlog-dev libasio-dev
MUTANT_PACKAGES := python3
PACKAGE_PACKAGES := cmake make g++ rapidjson-dev googletest libgtest-dev dpkg-dev \
                    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64

TEST_PRESETS := native asan-ubsan tsan linux-i386 fuzz mingw-x64 mingw-i686
# Fuzz targets each take one core for their whole smoke time: run them side by side.
CTEST_ARGS_fuzz := -j$(JOBS)

.PHONY: demo test package deps deps-native bench bench-verify fuzz mutants format clean \
        $(addprefix test-,$(TEST_PRESETS))

demo: deps-native
	cmake --preset native >/dev/null
	cmake --build --preset native -j$(JOBS) --target mird-check
	examples/demo.sh build/native/bin

test: deps
	@for preset in $(TEST_PRESETS); do $(MAKE) --no-print-directory test-$$preset || exit 1; done
	@# The mutation sample edits sources: it runs on a clean tree only (always in CI).
	@if [[ -z "$$(git status --porcelain)" ]]; then $(MAKE) --no-print-directory mutants MUTANTS=smoke; \
	 else echo "mutation sample skipped: the work tree has changes"; fi
	@echo "make test: every target built and passed"

$(addprefix test-,$(TEST_PRESETS)): test-%:
	@echo "=== $* ==="
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j$(JOBS)
	@if [[ "$*" == linux-i386 ]]; then cmake/run_32bit.sh build/linux-i386/bin/c_header_test; fi
	@if [[ "$*" == mingw-x64 ]]; then $(MAKE) --no-print-directory wine-tests; else ctest --preset $* $(CTEST_ARGS_$*); fi
	@# The library as its users get it: installed, packaged, added as a subproject.
	@if [[ "$*" == native ]]; then tests/install_test.sh build/native; fi
	@if [[ "$*" == mingw-* ]]; then tests/install_test.sh --zip build/$*; fi

# The packages, from the install rules: mird-check_<version>_amd64.deb from the
# native build, mird_check-<version>-win64.zip and -win32.zip from the MinGW
# builds (the library and the tool alone are built for them).
PACKAGE_PRESETS := native mingw-x64 mingw-i686
package:
	@$(MAKE) --no-print-directory install PACKAGES_WANTED="$(PACKAGE_PACKAGES)"
	@for preset in $(PACKAGE_PRESETS); do \
	  cmake --preset $$preset >/dev/null && \
	  cmake --build --preset $$preset -j$(JOBS) --target mird_check mird-check && \
	  cpack --config build/$$preset/CPackConfig.cmake -B build/packages || exit 1; \
	done
	@ls -l build/packages/*.deb build/packages/*.zip

# Windows tests under one persistent wineserver. Its services start here with
# their output detached, so no test inherits them; a server this run started
# is stopped afterwards, one that was already running is left alone.
.PHONY: wine-tests
wine-tests:
	@started=0; if wineserver -p </dev/null >/dev/null 2>&1; then started=1; fi; \
	wineboot -i </dev/null >/dev/null 2>&1 || true; \
	status=0; ctest --preset mingw-x64 -j$(JOBS) || status=$$?; \
	if [[ $$started == 1 ]]; then wineserver -k || true; fi; \
	exit $$status

bench: deps
	@$(MAKE) --no-print-directory install PACKAGES_WANTED="$(BENCH_PACKAGES)"
	cmake --preset release >/dev/null
	cmake --build --preset release -j$(JOBS)
	@for b in build/release/bin/*_bench; do echo "=== $$b"; $$b --benchmark_min_time=0.2; done

bench-verify: deps
	@$(MAKE) --no-print-directory install PACKAGES_WANTED="$(BENCH_VERIFY_PACKAGES)"
	cmake --preset release >/dev/null
	cmake --build --preset release -j$(JOBS) --target mird-check
	bench/verify_vs_md5sum.sh build/release/bin/mird-check

mutants: deps
	@$(MAKE) --no-print-directory install PACKAGES_WANTED="$(MUTANT_PACKAGES)"
	tests/mutation/run_mutants.py --jobs $(JOBS) $(if $(MUTANTS),--only $(MUTANTS)) $(if $(WINDOWS),--windows) \
	  $(if $(MATRIX),--matrix $(abspath $(MATRIX)))

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j$(JOBS)
	fuzz/fuzz_all.sh build/fuzz $(FUZZ_SECONDS) $(JOBS)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

clean:
	rm -rf build

deps:
	@$(MAKE) --no-print-directory install PACKAGES_WANTED="$(PACKAGES)"

deps-native:
	@$(MAKE) --no-print-directory install PACKAGES_WANTED="$(NATIVE_PACKAGES)"

# Installs the missing packages of PACKAGES_WANTED with apt-get; without root
# it prints the command to run and stops.
.PHONY: install
install:
	@missing=""; for p in $(PACKAGES_WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [[ -n "$$missing" ]]; then \
	  if [[ $$(id -u) != 0 ]]; then echo "missing packages; run as root: apt-get install -y$$missing"; exit 1; fi; \
	  echo "installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq$$missing >/dev/null; \
	fi
