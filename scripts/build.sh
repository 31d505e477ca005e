#!/usr/bin/env bash
# One entry for building, running and testing.
#   scripts/build.sh run           install, build, start Brevix2003 (the current edition)
#   scripts/build.sh run-earlier   the same for Brevix (the earlier edition)
#   scripts/build.sh test          install, build, run the whole test suite
#   scripts/build.sh sanitize      the suite built by clang under AddressSanitizer and UBSan
#   scripts/build.sh fuzz [SECONDS]  fuzz the issue-file reader (default 60 s)
#   scripts/build.sh package       the Debian package, in out/ (scripts/package.sh)
#   scripts/build.sh bench         install, build, run the benchmarks
#   scripts/build.sh windows       both programs for Windows and their installer, in out/
#   scripts/build.sh windows-test  the Windows build's tests, under wine
#   scripts/build.sh windows-bench the largest issue typeset headless under wine beside Linux
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-run}
# The package is built by dpkg-buildpackage from a clean copy, not from build/.
[ "$what" = package ] && exec scripts/package.sh
case "$what" in windows*) scripts/install-deps.sh windows ;; *) scripts/install-deps.sh ;; esac

# The clang build serves the sanitized suite and the fuzz target alike.
clang_build() {
  # -O1 with line tables: readable sanitizer reports at a lighter compile.
  CC=clang CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DBREVIX_SANITIZE=ON -DBREVIX_FUZZ=ON >/dev/null
  cmake --build build-clang -j"$(nproc)" "$@"
}
sanitizer_env() {
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
}

# Cross-built by mingw-w64 against Qt and libzip built once per machine
# from Debian's sources (windows/recipe.sh), into build-windows/.
windows_build() {
  local deps
  deps=$(windows/recipe.sh | tail -n 1)
  cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$deps/qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$deps/toolchain.cmake" >/dev/null
  cmake --build build-windows -j"$(nproc)"
  cmake --build build-windows --target installer
  mkdir -p out
  rm -rf out/windows
  cp -r build-windows/windows/stage/bin out/windows
  cp build-windows/Brevix-*-setup.exe out/
}

case "$what" in
  windows)
    windows_build
    exit ;;
  windows-test)
    windows_build
    exec windows/run-tests.sh build-windows ;; # one at a time: the tests fill one small disk
  sanitize)
    clang_build
    sanitizer_env
    cd build-clang && exec ctest --output-on-failure -j"$(nproc)" ;;
  fuzz)
    seconds=${2:-60}
    clang_build --target fuzz_issuefile
    sanitizer_env
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
    BREVIX_FUZZ_SEEDS=$corpus build-clang/bin/fuzz_issuefile "$corpus" -max_total_time="$seconds" \
      -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1
    exit ;;
esac

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

launch() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under Xvfb (xvfb-run)." >&2
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
  exec "$@"
}

case "$what" in
  run) launch build/bin/brevix2003 ;;
  run-earlier) launch build/bin/brevix ;;
  test) cd build && ctest --output-on-failure -j"$(nproc)" ;;
  bench) cmake --build build --target bench && for b in build/bin/bench_*; do "$b"; done ;;
  windows-bench)
    windows_build
    cmake --build build --target bench_typeset
    exec windows/bench.sh build build-windows ;;
  *) echo "usage: $0 run|run-earlier|test|sanitize|fuzz [SECONDS]|bench|windows|windows-test|windows-bench" >&2; exit 2 ;;
esac
