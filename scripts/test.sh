#!/bin/bash
# Builds the suite twice, plainly and with AddressSanitizer +
# UndefinedBehaviorSanitizer, and runs every test of both builds. GUI tests
# run under a virtual X display.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_missing_packages

export LANG=C.UTF-8 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

run_tests() {
  local dir="$1"
  echo "== tests in $dir"
  (cd "$ROOT/$dir" &&
    xvfb-run -a -s "-screen 0 1280x1024x24" \
      ctest --output-on-failure -j "$(nproc)" --timeout 600)
}

build_tree build
run_tests build
build_tree build-asan -DSANITIZE=ON -DBUILD_BENCHMARKS=OFF
run_tests build-asan
