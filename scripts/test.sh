#!/bin/bash
# Runs every test of the suite, in lanes:
#   plain      the normal build (GUI tests under a virtual X display)
#   sanitize   AddressSanitizer + UndefinedBehaviorSanitizer
#   native     built for this processor (-march=native): counts must not change
#   windows    MinGW-w64 cross build, tests under wine (when it can be installed)
#   fuzz       a short libFuzzer pass over the saved corpora (when clang is there)
#   slurm      a one-node Slurm cluster runs a split animation (needs root)
# Every lane runs even when an earlier one fails; the exit status says whether
# all passed. scripts/test.sh LANE... runs only the lanes named.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
source "$ROOT/scripts/test-windows.sh"
source "$ROOT/scripts/test-slurm.sh"

all_lanes=(plain sanitize native windows fuzz slurm)
for name in "$@"; do
  if [[ " ${all_lanes[*]} " != *" $name "* ]]; then
    echo "unknown lane '$name'; the lanes are ${all_lanes[*]}" >&2
    exit 2
  fi
done
chosen=("$@")
if ((${#chosen[@]} == 0)); then
  chosen=("${all_lanes[@]}")
fi

install_missing_packages

export LANG=C.UTF-8 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

run_tests() {
  local dir="$1"
  shift
  echo "== tests in $dir"
  (cd "$ROOT/$dir" &&
    xvfb-run -a -s "-screen 0 1280x1024x24" \
      ctest --output-on-failure -j "$(nproc)" --timeout 900 "$@")
}

# Each lane runs in a subshell with errexit on, so any failing step ends its
# lane. The subshell must not stand in a condition (if, !, &&, ||): bash
# switches errexit off for everything run from one. For the same reason the
# lane functions call their steps as plain commands, one after another.
failed=()
lane() {
  local name="$1" status
  shift
  if [[ " ${chosen[*]} " != *" $name "* ]]; then
    return 0
  fi
  echo "==== lane: $name"
  set +e
  (
    set -e
    "$@"
  )
  status=$?
  set -e
  if ((status != 0)); then
    failed+=("$name")
  fi
}

plain() {
  # Everything, also where the quick picture of demo.sh configured this tree
  # without the viewer and the benchmarks.
  build_tree build -DBUILD_VIEWER=ON -DBUILD_BENCHMARKS=ON
  run_tests build
}
sanitize() {
  build_tree build-asan -DSANITIZE=ON -DBUILD_BENCHMARKS=OFF
  run_tests build-asan
}
native() {
  build_tree build-native -DCMAKE_CXX_FLAGS=-march=native \
    -DBUILD_VIEWER=OFF -DBUILD_BENCHMARKS=OFF
  run_tests build-native
}
fuzz() {
  if ! (install_missing_packages clang libclang-rt-14-dev); then
    echo "fuzz lane skipped: clang cannot be installed"
    return 0
  fi
  CC=clang CXX=clang++ build_tree build-fuzz -DBUILD_FUZZERS=ON \
    -DBUILD_VIEWER=OFF -DBUILD_BENCHMARKS=OFF
  bash "$ROOT/fuzz/run_fuzzers.sh" "$ROOT/build-fuzz" short
}
windows() {
  if ! (install_missing_packages "${WINDOWS_PACKAGES[@]}"); then
    echo "windows lane skipped: MinGW-w64 or wine cannot be installed"
    return 0
  fi
  windows_lane
}

slurm_test() {
  # The plain lane's tree; only the program the lane runs is built here.
  cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DBUILD_VIEWER=ON \
    -DBUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$ROOT/build" -j "$(nproc)" --target mandel
  slurm_lane "$ROOT/build/mandel/mandel"
}

lane plain plain
lane sanitize sanitize
lane native native
lane windows windows
lane fuzz fuzz
lane slurm slurm_test

if ((${#failed[@]})); then
  echo "FAILED lanes: ${failed[*]}"
  exit 1
fi
echo "all lanes passed"
