#!/bin/bash
# Prints, for each eps of the bilinear approximation, how the deep engine
# compares with the full-precision oracle at the test locations (exact-match
# share, largest error, wrong neighbours, glitch check) and the CPU time a
# pixel on one thread. The oracle is computed once per location; the whole
# takes some minutes, T2's oracle most of it.
#
#   scripts/bench_deep_eps.sh [--eps LIST] [--only TEXT] [--t2-samples N]
#                             [--t2-block N] [--repeat N] [--wrong]
#
# LIST: eps values separated by commas (2^-47, 1e-14, or off for no
# approximation). --t2-block N adds every pixel of an N x N block amid T2 at
# 1024 x 1024, to see whether wrong pixels cluster; --wrong lists them.
# BUILD_DIR names the build tree (default build-bench under the source tree).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_VIEWER=OFF -DBUILD_BENCHMARKS=ON >/dev/null
fi
ninja -C "$BUILD_DIR" deep_eps >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
"$BUILD_DIR/bench/deep_eps" "$@"
