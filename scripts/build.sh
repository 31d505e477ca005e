#!/usr/bin/env bash
# One entry for building, running and testing.
#   scripts/build.sh run      install, build, start Brevix2003 (the current edition)
#   scripts/build.sh run-earlier   the same for Brevix (the earlier edition)
#   scripts/build.sh test     install, build, run the whole test suite
#   scripts/build.sh package  the Debian package, in out/ (scripts/package.sh)
#   scripts/build.sh bench    install, build, run the benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-run}
# The package is built by dpkg-buildpackage from a clean copy, not from build/.
[ "$what" = package ] && exec scripts/package.sh
scripts/install-deps.sh
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
  *) echo "usage: $0 run|run-earlier|test|bench" >&2; exit 2 ;;
esac
