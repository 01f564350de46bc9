#!/bin/bash
# Runs the libFuzzer targets of a build configured with -DBUILD_FUZZERS=ON
# (clang). Every run starts from the target's corpus (fuzz/corpus/<name>) and
# the inputs that once broke it (tests/data/bad/<name>); new inputs go to a
# working folder in the build directory, never into the source tree.
#
#   fuzz/run_fuzzers.sh BUILD_DIR short [RUNS]    fixed runs per target (CI)
#   fuzz/run_fuzzers.sh BUILD_DIR long [SECONDS] [TARGET...]
#                                                  all targets in parallel
# Crash inputs are written to BUILD_DIR/fuzz-artifacts/<name>/; keep them
# under tests/data/bad/<name>/ once the fault is mended.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "$1" && pwd)"
MODE="${2:-short}"
TARGETS=(viewfile bmp setrender framescript filename img2d viewspec imagefiles)

options() {
  local name="$1"
  local dict="$ROOT/fuzz/$name.dict"
  echo -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$BUILD/fuzz-artifacts/$name/"
  if [[ -f "$dict" ]]; then echo -dict="$dict"; fi
}

inputs() {
  local name="$1"
  echo "$BUILD/fuzz-corpus/$name" "$ROOT/fuzz/corpus/$name"
  if [[ -d "$ROOT/tests/data/bad/$name" ]]; then
    echo "$ROOT/tests/data/bad/$name"
  fi
}

prepare() {
  mkdir -p "$BUILD/fuzz-corpus/$1" "$BUILD/fuzz-artifacts/$1"
}

case "$MODE" in
  short)
    RUNS="${3:-20000}"
    for name in "${TARGETS[@]}"; do
      prepare "$name"
      echo "== $name: $RUNS runs"
      # shellcheck disable=SC2046
      "$BUILD/fuzz/${name}_fuzzer" $(options "$name") -runs="$RUNS" \
        -max_total_time=120 $(inputs "$name") 2>&1 | tail -n 12
      test "${PIPESTATUS[0]}" -eq 0
    done
    ;;
  long)
    SECONDS_EACH="${3:-1800}"
    shift 3 || shift $#
    if (($#)); then TARGETS=("$@"); fi
    pids=()
    for name in "${TARGETS[@]}"; do
      prepare "$name"
      # shellcheck disable=SC2046
      nice "$BUILD/fuzz/${name}_fuzzer" $(options "$name") \
        -max_total_time="$SECONDS_EACH" $(inputs "$name") \
        >"$BUILD/fuzz-artifacts/$name.log" 2>&1 &
      pids+=($!)
      echo "== $name: pid $!, log $BUILD/fuzz-artifacts/$name.log"
    done
    status=0
    for pid in "${pids[@]}"; do wait "$pid" || status=1; done
    for name in "${TARGETS[@]}"; do
      echo "== $name: $(grep -E '^#[0-9]+' "$BUILD/fuzz-artifacts/$name.log" | tail -n 1)"
    done
    exit "$status"
    ;;
  *)
    echo "usage: $0 BUILD_DIR short [RUNS] | long [SECONDS] [TARGET...]" >&2
    exit 2
    ;;
esac
