#!/bin/bash
# Prints the deep engine's figures: T2 (zoom 1e50) at 1024x1024 with and
# without the bilinear approximation, the oracle's time per pixel, peak
# memory, and the reference orbit at zoom 1e2000 with a limit of a million.
#
#   scripts/bench_deep.sh [side [threads [noBlaRowStep [loop]]]]
#   scripts/bench_deep.sh wide [side]
#
# loop (auto, plain, sse2, avx2 or avx512) picks the pixel loop of views in
# double range; plain is the scalar loop the vector ones are checked against.
# The last figures, in both forms, are views narrower than 2^-900 on one
# thread (256x256 unless wide is given a side): CPU time a pixel with the
# deltas in rescaled doubles and in FloatExp, and a plain step's time beside
# that of doubles; "wide" prints only those.
#
# Without the approximation only every noBlaRowStep-th row (default 16) is
# rendered, with and without it, so that the ratio compares the same pixels;
# the whole raster's time is extrapolated from it. BUILD_DIR names the build
# tree (default build-bench under the source tree).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_VIEWER=OFF -DBUILD_BENCHMARKS=ON >/dev/null
fi
ninja -C "$BUILD_DIR" deep_bench >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
"$BUILD_DIR/bench/deep_bench" "$@"
