#!/bin/bash
# Times whole setrender runs of the fast engine against the same program built
# with the plain engine only (MANDEL_PLAIN_ENGINE=ON), alternating the two so
# that both see the same load on a shared machine, checks that both write the
# same bytes, and prints the median times and their ratio per view.
#
#   scripts/bench_setrender.sh [runs]
#
# FAST_DIR and PLAIN_DIR name the two build trees (default build-fast and
# build-fast-plain under the source tree); the plain tree is configured and
# built when it has no setrender yet.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUNS="${1:-3}"
FAST_DIR="${FAST_DIR:-$ROOT/build-fast}"
PLAIN_DIR="${PLAIN_DIR:-$ROOT/build-fast-plain}"

build() {
  local dir="$1"
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DBUILD_VIEWER=OFF \
      -DBUILD_BENCHMARKS=OFF "$@" >/dev/null
  fi
  ninja -C "$dir" setrender >/dev/null
}
build "$FAST_DIR"
build "$PLAIN_DIR" -DMANDEL_PLAIN_ENGINE=ON

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Seconds of wall time one run takes.
run_time() {
  local start end
  start=$(date +%s.%N)
  "$@" 2>/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

median() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "processor: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) processors"
printf '%-10s %10s %10s %8s\n' view plain_s fast_s ratio
while read -r name args; do
  : >"$WORK/plain.t"
  : >"$WORK/fast.t"
  for ((i = 0; i < RUNS; i++)); do
    # shellcheck disable=SC2086  # the view's numbers are separate words
    run_time "$PLAIN_DIR/setrender/setrender" $args "$WORK/plain.bmp" >>"$WORK/plain.t"
    # shellcheck disable=SC2086
    run_time "$FAST_DIR/setrender/setrender" $args "$WORK/fast.bmp" >>"$WORK/fast.t"
    if ! cmp -s "$WORK/plain.bmp" "$WORK/fast.bmp"; then
      echo "$name: the fast and the plain engine wrote different pictures" >&2
      exit 1
    fi
  done
  plain=$(median <"$WORK/plain.t")
  fast=$(median <"$WORK/fast.t")
  printf '%-10s %10.3f %10.3f %8.1f\n' "$name" "$plain" "$fast" \
    "$(echo "$plain / $fast" | bc -l)"
done <<'EOF'
whole    -2 -2 4 1000 1000 1000
zoom     -0.7454 0.1130 0.0005 1000 1000 5000
interior -0.15 -0.15 0.3 1000 1000 1000
EOF
