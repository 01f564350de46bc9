#!/bin/bash
# shares_test.sh ENGINE MANDEL [TASKS]: a small zoom split by mandel plan into
# TASKS shares (default 3) and run under ENGINE (make, parallel or slurm)
# must give, byte for byte, the frames one process renders; running the
# shares a second time must rewrite none of them. Exit status 77 (skipped)
# when the engine's program is missing.
set -euo pipefail

engine="$1"
mandel="$2"
tasks="${3:-3}"

case "$engine" in
  make) runner=make ;;
  parallel) runner=parallel ;;
  slurm) runner=sbatch ;;
  *)
    echo "unknown engine $engine" >&2
    exit 2
    ;;
esac
if ! command -v "$runner" >/dev/null; then
  echo "$engine shares skipped: $runner is not installed"
  exit 77
fi

# A Slurm task may run as another user and starts in the submitting
# directory; the work directory must be one every task can reach.
dir="$(mktemp -d "${SHARES_TMPDIR:-${TMPDIR:-/tmp}}/shares.XXXXXX")"
chmod 755 "$dir"
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# Names a careless job file would split or expand.
views="my views"
out="split dir \$1"
mkdir "$views"
printf 'size = 64 36\nlimit = 200\n' >"$views/a.view"
printf 'center = -0.7436 0.1318\nwidth = 0.002\nsize = 64 36\nlimit = 2000\n' \
  >"$views/b.view"
common=(--from "$views/a.view" --to "$views/b.view" --frames 12
  --gradient '#000000,#ffffff,#ff8000' --period 40)

"$mandel" animate "${common[@]}" -o one/zoom
"$mandel" plan animate "${common[@]}" -o "$out/zoom" --tasks "$tasks" \
  --for "$engine" >job

run() {
  case "$engine" in
    make) make -s -j2 -f job ;;
    parallel) parallel --will-cite -j2 <job ;;
    slurm) sbatch --quiet --wait job ;;
  esac
}
run

want="$(cd one && ls)"
got="$(cd "$out" && ls)"
if [[ "$want" != "$got" ]]; then
  echo "frames differ: one process wrote" $want "; the shares wrote" $got >&2
  exit 1
fi
[[ "$(echo "$want" | wc -l)" == 12 ]]
for f in $want; do
  cmp "one/$f" "$out/$f"
done

# Every frame is on disk, so a second run draws nothing.
stamps() { (cd "$out" && stat -c '%n %Y.%y' *); }
before="$(stamps)"
sleep 1
run
[[ "$(stamps)" == "$before" ]] || {
  echo "a second run of the shares rewrote frames" >&2
  exit 1
}
echo "$engine: $tasks shares gave the 12 frames of one process"
