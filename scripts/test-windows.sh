#!/bin/bash
# The Windows lane: cross-builds the console programs and their tests with
# MinGW-w64 and runs the tests under wine, headless, in a private prefix.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 googletest xvfb xauth)

# Fails as soon as a step fails, whatever the caller's errexit: the tests
# must never run on binaries left from an earlier build.
windows_lane() {
  install_missing_packages "${WINDOWS_PACKAGES[@]}" || return 1
  # Configured and built here rather than through build_tree, whose first
  # step's failure would be hidden when errexit is off.
  cmake -S "$ROOT" -B "$ROOT/build-win" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" >/dev/null ||
    return 1
  cmake --build "$ROOT/build-win" -j "$(nproc)" || return 1

  export WINEPREFIX="$ROOT/build-win/wineprefix" WINEDEBUG=-all
  # No display: wine must not try to open windows or ask to install extras.
  unset DISPLAY
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wineboot -i >/dev/null 2>&1 || true
  # One wine server for the whole run instead of one per test process.
  wineserver -p 2>/dev/null || true  # already running after wineboot
  echo "== tests in build-win (wine)"
  local status=0
  # Now and then wine starts a test process that dies before main, with no
  # output at all (SetRenderParse.UsageText once in some thirty runs):
  # such a test gets a second try. A test that fails in its own right fails
  # both times.
  (cd "$ROOT/build-win" &&
    ctest --output-on-failure -j "$(nproc)" --timeout 600 \
      --repeat until-pass:2) || status=$?
  # The fatal report's message box needs a display, and would wait for a
  # click in every other test that reaches it: one run under Xvfb, of the
  # test that reads the box and presses OK itself.
  echo "== message box test in build-win (wine on Xvfb)"
  (cd "$ROOT/build-win" &&
    timeout 300 xvfb-run -a wine libutils/libutils_tests.exe \
      --gtest_filter='FatalDeathTest.ShowsTheReport*' \
      2>&1 | tee message-box.log | tail -n 3 &&
    grep -q '^\[       OK \] FatalDeathTest.ShowsTheReport' message-box.log) ||
    status=1
  wineserver -k || true
  return $status
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  windows_lane
fi
