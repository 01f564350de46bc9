#!/bin/bash
# Prints the speed and memory figures of mandel, each measured side by side
# in one run (the runs of a pair alternate, so both see the same load on a
# shared machine), as medians of CPU time (user + system) and wall time, and
# each ratio as the median of the ratios of the rounds:
#
#   1. mandel, banded at bailout 2 with one sample, against setrender on the
#      same views (target: at most 10% more);
#   2. PNG against BMP for the whole set at 4000 x 4000 (at most 15% more),
#      to /dev/null and into files;
#   3. smooth against banded colouring (at most 10% more), into PNG and
#      into BMP;
#   4. N x N samples against one (at most 1.05 N^2);
#   5. peak resident size for growing heights (constant in the height) and
#      for a very wide view (at most 64 bytes per pixel of width + 16 MB);
#   6. when valgrind is installed, the ratios of 1 to 3 again as counts of
#      instructions on one worker thread, on smaller views: the same on a
#      busy machine as on an idle one, where times are not.
#
# Pictures go to /dev/null through names with the right extension, so the
# figures are the program's and not the disk's; one pair also writes files.
#
#   scripts/bench_mandel.sh [runs]
#
# BUILD_DIR names the build tree (default build-fast under the source tree);
# it is configured when it has no build.ninja and mandel and setrender are
# built in it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUNS="${1:-3}"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-fast}"

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DBUILD_VIEWER=OFF \
    -DBUILD_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$BUILD_DIR" mandel setrender >/dev/null
MANDEL="$BUILD_DIR/mandel/mandel"
SETRENDER="$BUILD_DIR/setrender/setrender"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
for ext in bmp png; do ln -s /dev/null "$WORK/null.$ext"; done

# shellcheck source=scripts/measure.sh
source "$ROOT/scripts/measure.sh"

median() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# pair NAME TARGET -- COMMAND A -- COMMAND B: medians of both, and of B / A
# over the rounds. A round runs both, in turn A first and B first, so that
# the two see the same machine: this one is shared, and its speed drifts by
# half and more over minutes, which moves a ratio of the two medians.
pair() {
  local name="$1" target="$2"
  shift 2
  local a=() b=() side=a
  shift  # the first --
  for word in "$@"; do
    if [ "$word" = "--" ]; then side=b; continue; fi
    if [ "$side" = a ]; then a+=("$word"); else b+=("$word"); fi
  done
  : >"$WORK/a"
  : >"$WORK/b"
  # Files are written anew each run: replacing one would add the file
  # system's freeing of the old one, 12 ms for 48 MB on a disk mounted with
  # online discard, which is no cost of rendering.
  for ((i = 0; i < RUNS; i++)); do
    for side in $( ((i % 2)) && echo b a || echo a b); do
      rm -f "$WORK"/file.*
      if [ "$side" = a ]; then
        measure "${a[@]}" >>"$WORK/a"
      else
        measure "${b[@]}" >>"$WORK/b"
      fi
    done
  done
  local aw ac bw bc rw rc
  aw=$(cut -d' ' -f1 "$WORK/a" | median)
  ac=$(cut -d' ' -f2 "$WORK/a" | median)
  bw=$(cut -d' ' -f1 "$WORK/b" | median)
  bc=$(cut -d' ' -f2 "$WORK/b" | median)
  rw=$(paste -d' ' "$WORK/a" "$WORK/b" | awk '{ print $3 / $1 }' | median)
  rc=$(paste -d' ' "$WORK/a" "$WORK/b" | awk '{ print $4 / $2 }' | median)
  printf '%-34s %7.3f %7.3f %7.3f %7.3f %7.3f %7.3f  %s\n' "$name" \
    "$aw" "$bw" "$ac" "$bc" "$rw" "$rc" "$target"
}

echo "processor: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) processors;" \
  "medians of $RUNS runs"
echo
printf '%-34s %7s %7s %7s %7s %7s %7s  %s\n' comparison "A wall" "B wall" \
  "A cpu" "B cpu" "wall" "cpu" "target (B / A)"

# 1. The same BMP from both programs.
while read -r name re im w size limit; do
  pair "setrender -> mandel, $name" "<= 1.10" \
    -- "$SETRENDER" "$re" "$im" "$w" "${size%x*}" "${size#*x}" "$limit" \
    "$WORK/null.bmp" \
    -- "$MANDEL" render "--corner=$re,$im" --width "$w" --size "$size" \
    --limit "$limit" --bailout 2 --bands --palette cosine:3,2,1 \
    --period "$limit" -o "$WORK/null.bmp"
done <<'EOF'
whole -2 -2 4 2000x2000 1000
seahorse -0.7454 0.1102 0.004 2000x2000 5000
nearly-idle -2 -2 4 4000x4000 1
EOF

# 2. PNG against BMP at the PNG writer's defaults.
whole=(--corner=-2,-2 --width 4 --size 4000x4000 --limit 1000 --bailout 2
  --bands --palette cosine:3,2,1 --period 1000)
pair "BMP -> PNG, whole set 4000x4000" "<= 1.15" \
  -- "$MANDEL" render "${whole[@]}" -o "$WORK/null.bmp" \
  -- "$MANDEL" render "${whole[@]}" -o "$WORK/null.png"
# The same into files on the disk of the temporary directory, as a user
# writes them: 48 MB of BMP against under 1 MB of PNG.
pair "BMP -> PNG, 4000x4000 into files" "<= 1.15" \
  -- "$MANDEL" render "${whole[@]}" -o "$WORK/file.bmp" \
  -- "$MANDEL" render "${whole[@]}" -o "$WORK/file.png"

# Sections 3 and 4 use sizes whose single runs take half a second or more,
# so that the start-up weighs little.
# 3. Smooth against banded, at the default view and radius, into PNG, then
# into BMP: the colouring alone, without zlib, which works harder on a
# smooth picture than on a banded one whatever the colouring costs.
seahorse=(--center=-0.7436,0.1318 --width 0.004 --limit 5000 --size 4000x4000)
for ext in png bmp; do
  label=""
  if [ "$ext" = bmp ]; then label=", BMP"; fi
  pair "banded -> smooth, default$label" "<= 1.10" \
    -- "$MANDEL" render --size 6400x4800 --bands -o "$WORK/null.$ext" \
    -- "$MANDEL" render --size 6400x4800 --smooth -o "$WORK/null.$ext"
  pair "banded -> smooth, seahorse$label" "<= 1.10" \
    -- "$MANDEL" render "${seahorse[@]}" --bands -o "$WORK/null.$ext" \
    -- "$MANDEL" render "${seahorse[@]}" --smooth -o "$WORK/null.$ext"
done

# 4. N x N samples against one.
for n in 2 3; do
  pair "1 -> ${n}x${n} samples (banded)" "<= $(echo "1.05 * $n * $n" | bc)" \
    -- "$MANDEL" render --size 3200x2400 --bands -o "$WORK/null.png" \
    -- "$MANDEL" render --size 3200x2400 --bands --samples "$n" \
    -o "$WORK/null.png"
  pair "1 -> ${n}x${n} samples (smooth)" "<= $(echo "1.05 * $n * $n" | bc)" \
    -- "$MANDEL" render --size 3200x2400 -o "$WORK/null.png" \
    -- "$MANDEL" render --size 3200x2400 --samples "$n" -o "$WORK/null.png"
done

# 5. Peak resident size.
echo
printf '%-46s %10s %14s\n' "peak resident size" "KB" "bytes/px width"
rss() {
  local name="$1" width="$2"
  shift 2
  local kb
  kb=$(peak_kb "$@")
  printf '%-46s %10d %14.1f\n' "$name" "$kb" \
    "$(echo "($kb * 1024 - 16 * 1048576) / $width" | bc -l)"
}
for height in 250 1000 4000 16000; do
  rss "1000x$height, counts file too" 1000 "$MANDEL" render \
    --size "1000x$height" --limit 50 -o "$WORK/null.png" \
    --counts "$WORK/rss.exr"
done
rss "200000x20 PNG" 200000 "$MANDEL" render --size 200000x20 --limit 50 \
  -o "$WORK/null.png"
rss "200000x20 BMP" 200000 "$MANDEL" render --size 200000x20 --limit 50 \
  --bailout 2 -o "$WORK/null.bmp"
rss "200000x20 PNG and count file" 200000 "$MANDEL" render \
  --size 200000x20 --limit 50 -o "$WORK/null.png" --counts "$WORK/rss.exr"
rss "50000x20, 3x3 samples (band of 3 lines)" 50000 "$MANDEL" render \
  --size 50000x20 --limit 50 --samples 3 -o "$WORK/null.png"
rss "50000x20, 3x3 samples, PNG and count file" 50000 "$MANDEL" render \
  --size 50000x20 --limit 50 --samples 3 -o "$WORK/null.png" \
  --counts "$WORK/rss.exr"
echo "(target: constant in the height; at most 64 bytes per pixel of width" \
  "beyond 16 MB, plus the band of sample lines for N x N samples)"

# The part that grows with the width apart from the fixed part: two widths
# of the same render, both past the point where the ring of rows is cut to
# its least (8 MB), and two heights of the wider.
echo
printf '%-46s %10s %10s %10s\n' "growth with the width (2 widths)" \
  "fixed MB" "B/px width" "+height KB"
slope() {
  local name="$1" w1="$2" w2="$3" band="$4"
  shift 4
  local k1 k2 k3
  k1=$(peak_kb "$MANDEL" render --size "${w1}x12" "$@")
  k2=$(peak_kb "$MANDEL" render --size "${w2}x12" "$@")
  k3=$(peak_kb "$MANDEL" render --size "${w2}x120" "$@")
  local per
  per=$(echo "($k2 - $k1) * 1024 / ($w2 - $w1)" | bc -l)
  printf '%-46s %10.1f %10.1f %10d  (band: %d B/px)\n' "$name" \
    "$(echo "($k1 * 1024 - $per * $w1) / 1048576" | bc -l)" "$per" \
    "$((k3 - k2))" "$band"
}
slope "PNG and count file" 100000 200000 0 --limit 50 -o "$WORK/null.png" \
  --counts "$WORK/rss.exr"
slope "3x3 samples, PNG" 100000 200000 72 --limit 50 --samples 3 \
  -o "$WORK/null.png"
slope "3x3 samples, PNG and count file" 100000 200000 72 --limit 50 \
  --samples 3 -o "$WORK/null.png" --counts "$WORK/rss.exr"

# 6. Instruction counts.
if command -v valgrind >/dev/null; then
  instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 |
      sed -n 's/.*refs: *//p' | tr -d ,
  }
  ipair() {
    local name="$1" target="$2" a b
    shift 2
    local left=() right=() side=a
    shift
    for word in "$@"; do
      if [ "$word" = "--" ]; then side=b; continue; fi
      if [ "$side" = a ]; then left+=("$word"); else right+=("$word"); fi
    done
    a=$(instructions "${left[@]}")
    b=$(instructions "${right[@]}")
    printf '%-34s %14d %14d %7.3f  %s\n' "$name" "$a" "$b" \
      "$(echo "$b / $a" | bc -l)" "$target"
  }
  echo
  printf '%-34s %14s %14s %7s  %s\n' "instructions (one worker)" A B "B / A" \
    target
  ipair "setrender -> mandel, nearly-idle" "<= 1.10" \
    -- "$SETRENDER" -2 -2 4 1000 1000 1 "$WORK/null.bmp" \
    -- "$MANDEL" render --corner=-2,-2 --width 4 --size 1000x1000 --limit 1 \
    --bailout 2 --bands --palette cosine:3,2,1 --period 1 --threads 1 \
    -o "$WORK/null.bmp"
  small=(--corner=-2,-2 --width 4 --size 1000x1000 --limit 1000 --bailout 2
    --bands --palette cosine:3,2,1 --period 1000 --threads 1)
  ipair "BMP -> PNG, whole set 1000x1000" "<= 1.15" \
    -- "$MANDEL" render "${small[@]}" -o "$WORK/null.bmp" \
    -- "$MANDEL" render "${small[@]}" -o "$WORK/null.png"
  ipair "banded -> smooth, default view" "<= 1.10" \
    -- "$MANDEL" render --size 800x600 --bands --threads 1 -o "$WORK/null.png" \
    -- "$MANDEL" render --size 800x600 --smooth --threads 1 -o "$WORK/null.png"
fi
