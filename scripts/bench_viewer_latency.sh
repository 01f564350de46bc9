#!/bin/bash
# Prints how quickly zoomview answers during a heavy run (800 by 800 inside
# the set at the highest limit): Esc and Alt+Left from the key press to
# their visible effect, and the longest gaps between status line updates
# and between turns of the event loop. The target is under 100 ms each.
#
#   scripts/bench_viewer_latency.sh [delay_ms]
#
# delay_ms: how long the run goes before the key (default 1500). Runs under
# Xvfb when there is no display. BUILD_DIR names the build tree (default
# build-bench under the source tree).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_VIEWER=ON -DBUILD_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$BUILD_DIR" zoomview_latency >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
if [ -n "${DISPLAY:-}" ]; then
  "$BUILD_DIR/viewer/zoomview_latency" "$@"
else
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$BUILD_DIR/viewer/zoomview_latency" "$@"
fi
