# Sourced by the bench scripts, which set WORK to a scratch directory. Each
# function runs its command once and throws its output away.
#
# measure COMMAND... prints "wall cpu": seconds, CPU time being user +
# system. They come from perf where it runs, to the microsecond; time(1)
# counts in hundredths, which is 30% of a 30 ms run.
#
# peak_kb COMMAND... prints the peak resident size in KB, from time(1)
# alone: under perf it would be perf's own 13 MB for a small command.

if LC_ALL=C perf stat -e task-clock -o /dev/null true 2>/dev/null; then
  MEASURE_PERF=1
else
  MEASURE_PERF=0
fi

measure() {
  if [ "$MEASURE_PERF" = 1 ]; then
    LC_ALL=C perf stat -e task-clock -o "$WORK/measure.stat" "$@" \
      >/dev/null 2>&1
    awk '/task-clock/ { cpu = $1 / 1000 }
      /seconds time elapsed/ { wall = $1 }
      END { printf "%.6f %.6f\n", wall, cpu }' "$WORK/measure.stat"
  else
    /usr/bin/time -f '%e %U %S' -o "$WORK/measure.time" "$@" >/dev/null 2>&1
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$WORK/measure.time"
  fi
}

peak_kb() {
  /usr/bin/time -f '%M' -o "$WORK/measure.time" "$@" >/dev/null 2>&1
  cat "$WORK/measure.time"
}
