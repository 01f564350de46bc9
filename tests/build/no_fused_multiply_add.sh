#!/bin/bash
# Counts are defined to the rounding of each operation, so no library of
# the suite may hold a fused multiply-add. -ffp-contract=off forbids them,
# but GCC 12 still fuses the two halves of a complex product into vfmaddsub
# when it vectorises one for a processor with FMA (a -march=native build).
# This looks at the machine code itself, in whatever build it runs.
#
#   no_fused_multiply_add.sh BUILD_DIR
set -euo pipefail

BUILD="$1"
command -v objdump >/dev/null || { echo "objdump missing"; exit 77; }
found=0
while IFS= read -r -d '' lib; do
  hits="$(objdump -d --no-show-raw-insn "$lib" |
    grep -c -E $'\tv?f(n?m(add|sub)|maddsub|msubadd)' || true)"
  if [ "$hits" != 0 ]; then
    echo "$lib: $hits fused multiply-add instructions"
    found=1
  fi
done < <(find "$BUILD" \( -name '*.a' -o -name '*.so' \) \
  -not -path '*googletest*' -not -path '*gtest*' -not -path '*gmock*' \
  -not -path '*benchmark*' -print0)
exit "$found"
