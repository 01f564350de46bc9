#!/bin/bash
# Times whole setrender runs of the fast engine against the same program built
# with the plain engine only (MANDEL_PLAIN_ENGINE=ON), alternating the two so
# that both see the same load on a shared machine, checks that both write the
# same bytes, and prints the median times and their ratio per view. Then
# prints what everything but the iterating costs a pixel (a view of almost
# no iterations, written as BMP), and the peak resident size of very wide
# views, against the bound of 12 bytes a pixel of width plus 16 MB.
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

# shellcheck source=scripts/measure.sh
source "$ROOT/scripts/measure.sh"

median() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# x / y printed with the given format.
ratio() { awk -v x="$1" -v y="$2" -v f="$3" 'BEGIN { printf f, x / y }'; }

echo "processor: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) processors," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "wall: median seconds of the whole process; cpu: its user + system seconds"
printf '%-10s %8s %8s %7s %8s %8s %7s\n' view plain_s fast_s ratio \
  plain_cpu fast_cpu ratio
while read -r name args; do
  : >"$WORK/plain.t"
  : >"$WORK/fast.t"
  # Each run writes a new file: replacing one would add the file system's
  # freeing of the old one (12 ms for 48 MB on a disk mounted with online
  # discard), which is no cost of rendering.
  for ((i = 0; i < RUNS; i++)); do
    rm -f "$WORK/plain.bmp" "$WORK/fast.bmp"
    # shellcheck disable=SC2086  # the view's numbers are separate words
    measure "$PLAIN_DIR/setrender/setrender" $args "$WORK/plain.bmp" >>"$WORK/plain.t"
    # shellcheck disable=SC2086
    measure "$FAST_DIR/setrender/setrender" $args "$WORK/fast.bmp" >>"$WORK/fast.t"
    if ! cmp -s "$WORK/plain.bmp" "$WORK/fast.bmp"; then
      echo "$name: the fast and the plain engine wrote different pictures" >&2
      exit 1
    fi
  done
  plain=$(cut -d' ' -f1 "$WORK/plain.t" | median)
  fast=$(cut -d' ' -f1 "$WORK/fast.t" | median)
  plainCpu=$(cut -d' ' -f2 "$WORK/plain.t" | median)
  fastCpu=$(cut -d' ' -f2 "$WORK/fast.t" | median)
  printf '%-10s %8.4f %8.4f %7s %8.4f %8.4f %7s\n' "$name" "$plain" "$fast" \
    "$(ratio "$plain" "$fast" %.1f)" "$plainCpu" "$fastCpu" \
    "$(ratio "$plainCpu" "$fastCpu" %.1f)"
done <<'EOF'
whole    -2 -2 4 1000 1000 1000
zoom     -0.7454 0.1130 0.0005 1000 1000 5000
interior -0.15 -0.15 0.3 1000 1000 1000
EOF

# Everything but the iterating: the whole set at limit 1 stops every orbit
# after one step, so the time is that of the positions, the hand-over of
# rows, the colouring and the writing.
echo
printf '%-22s %10s %10s %12s %12s\n' overhead wall_s cpu_s wall_ns/px cpu_ns/px
for dir in "$PLAIN_DIR" "$FAST_DIR"; do
  : >"$WORK/o.t"
  for ((i = 0; i < RUNS; i++)); do
    rm -f "$WORK/o.bmp"
    measure "$dir/setrender/setrender" -2 -2 4 4000 4000 1 "$WORK/o.bmp" >>"$WORK/o.t"
  done
  wall=$(cut -d' ' -f1 "$WORK/o.t" | median)
  cpu=$(cut -d' ' -f2 "$WORK/o.t" | median)
  printf '%-22s %10.4f %10.4f %12s %12s\n' \
    "$(basename "$dir") 4000x4000" "$wall" "$cpu" \
    "$(ratio "$wall" 0.016 %.1f)" "$(ratio "$cpu" 0.016 %.1f)"
done

# Peak resident size for 20,000,000 pixels of width, one line and several.
echo
printf '%-22s %12s %12s %12s\n' memory peak_MB bound_MB bytes/px
for lines in 1 3; do
  kb=$(peak_kb "$FAST_DIR/setrender/setrender" -2 -2 4 20000000 "$lines" 100 /dev/null)
  printf '%-22s %12s %12s %12s\n' "20000000x$lines" "$(ratio "$kb" 1024 %.1f)" \
    "$(ratio $((12 * 20000000 + 16 * 1048576)) 1048576 %.1f)" \
    "$(ratio $((kb * 1024)) 20000000 %.2f)"
done
