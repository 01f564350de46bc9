#!/bin/bash
# Prints the figures of renders split among tasks:
#
#   1. a 200-frame 640 x 360 zoom in 2 shares under make -j2, against one
#      process with a thread per processor (target: at most 1.1 times the
#      wall time), the frames compared byte for byte;
#   2. mandel join of a poster's T bands against mandel colour of the same
#      poster from its count file on disk (target: at most 1.2 times the
#      wall time), the two PNGs compared byte for byte;
#   3. the peak resident size of mandel join at two heights (constant in
#      the height).
#
# Runs of a pair alternate, so both see the same load on a shared machine;
# the figures are medians of wall time.
#
#   scripts/bench_scale.sh [runs] [bands]
#
# BUILD_DIR names the build tree (default build-fast under the source tree);
# it is configured when it has no build.ninja and mandel is built in it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUNS="${1:-3}"
BANDS="${2:-4}"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-fast}"

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DBUILD_VIEWER=OFF \
    -DBUILD_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$BUILD_DIR" mandel >/dev/null
MANDEL="$BUILD_DIR/mandel/mandel"
for tool in make /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "bench_scale.sh needs $tool" >&2
    exit 1
  fi
done

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# "wall rss_kb" of one run.
measure() {
  /usr/bin/time -f '%e %M' -o "$WORK/time" "$@" >/dev/null 2>&1
  cat "$WORK/time"
}

median() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# report NAME TARGET A-TIMES B-TIMES: the medians and B / A against target.
report() {
  local a b
  a="$(echo "$3" | median)"
  b="$(echo "$4" | median)"
  awk -v n="$1" -v t="$2" -v a="$a" -v b="$b" 'BEGIN {
    r = b / a
    printf "%-44s %8.2f s %8.2f s   ratio %.3f (target <= %s) %s\n",
      n, a, b, r, t, (r <= t ? "met" : "MISSED") }'
}

echo "mandel: $MANDEL"
echo "processors: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# 1. The zoom: from the whole set to a width of 4e-9 at the spiral.
cat >a.view <<'EOF'
center = -0.75 0
width = 3.5
size = 640 360
limit = 500
EOF
cat >b.view <<'EOF'
center = -0.743643887037158704752191506114774 0.131825904205311970493132056385139
width = 4e-9
size = 640 360
limit = 5000
EOF
zoom=(--from a.view --to b.view --frames 200)
"$MANDEL" plan animate "${zoom[@]}" -o "$WORK/split/z" --tasks 2 \
  --for make >Makefile
one="" split=""
for ((i = 0; i < RUNS; i++)); do
  rm -rf one split
  one+="$(measure "$MANDEL" animate "${zoom[@]}" -o one/z | cut -d' ' -f1)"$'\n'
  split+="$(measure make -s -j2 | cut -d' ' -f1)"$'\n'
done
echo "                                             one/colour     split"
report "200 x 640x360 zoom: 1 process / 2 shares" 1.1 "$one" "$split"
for f in one/*.png; do
  cmp -s "$f" "split/${f#one/}" || {
    echo "  frame $f differs between the runs" >&2
    exit 1
  }
done
echo "  the 200 frames of both are byte for byte the same"

# 2. A poster: coloured from counts on disk against joined from bands.
poster=(--center=-0.7436,0.1318 --width 0.004 --limit 2000 --size 4000x3000)
"$MANDEL" render "${poster[@]}" --counts poster.exr
for ((k = 0; k < BANDS; k++)); do
  "$MANDEL" render "${poster[@]}" --rows "$((k * 3000 / BANDS)):$(((k + 1) * \
    3000 / BANDS - 1))" --part "band-$k.part"
done
colour="" join=""
for ((i = 0; i < RUNS; i++)); do
  colour+="$(measure "$MANDEL" colour poster.exr -o coloured.png |
    cut -d' ' -f1)"$'\n'
  join+="$(measure "$MANDEL" join band-*.part -o joined.png |
    cut -d' ' -f1)"$'\n'
done
report "4000x3000 poster: colour / join of $BANDS bands" 1.2 "$colour" "$join"
cmp -s coloured.png joined.png || {
  echo "  the joined poster differs from the coloured one" >&2
  exit 1
}
echo "  both PNGs are byte for byte the same"

# 3. Memory of join at two heights of the same width.
echo
for h in 1000 8000; do
  rm -f band-*.part
  size=(--width 0.004 --limit 200 --size "4000x$h")
  for ((k = 0; k < 2; k++)); do
    "$MANDEL" render "${size[@]}" --rows "$((k * h / 2)):$(((k + 1) * h / 2 - \
      1))" --part "band-$k.part"
  done
  rss="$(measure "$MANDEL" join band-*.part -o joined.png | cut -d' ' -f2)"
  printf "join peak resident size, 4000x%-5s %8d KiB\n" "$h" "$rss"
done
