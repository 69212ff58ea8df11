# Thin wrappers: the real work is in CMake and scripts/.
DATA ?= $(HOME)/kakeibo
JOBS ?= $(shell nproc)
BUILD_RUN = build/release
BUILD_TEST = build/asan
BUILD_BENCH = build/bench

.PHONY: all deps run test bench fuzz package install clean

all: deps
	cmake -S . -B $(BUILD_RUN) -DCMAKE_BUILD_TYPE=Release -DZADUD_TESTS=OFF
	cmake --build $(BUILD_RUN) -j $(JOBS)

deps:
	sh scripts/install-deps.sh

run: all
	KAKEIBO_PROGRAM="$(BUILD_RUN)/app/zadud" sh scripts/kakeibo "$(DATA)"

test: deps
	cmake -S . -B $(BUILD_TEST) -DCMAKE_BUILD_TYPE=Debug -DZADUD_SANITIZE=ON -DZADUD_TESTS=ON
	cmake --build $(BUILD_TEST) -j $(JOBS)
	cd $(BUILD_TEST) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD_BENCH) -DCMAKE_BUILD_TYPE=Release -DZADUD_TESTS=OFF -DZADUD_BENCH=ON
	cmake --build $(BUILD_BENCH) -j $(JOBS)
	$(BUILD_BENCH)/bench/zadud_bench

# Runs every fuzz target for FUZZ_SECONDS (default 60) each.
fuzz: deps
	sh scripts/fuzz.sh

package: all
	cd $(BUILD_RUN) && cpack -G DEB
	@ls $(BUILD_RUN)/kakeibo_*.deb

# CMake's install rules; DESTDIR and PREFIX (default /usr) are honoured.
PREFIX ?= /usr
install: all
	cmake --install $(BUILD_RUN) --prefix $(PREFIX)

clean:
	rm -rf build
