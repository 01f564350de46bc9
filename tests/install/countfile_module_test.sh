#!/bin/bash
# An installed mandel finds the count-file module where the install put it,
# beside its libraries, and not the one in the build tree; and a program
# that never meets a count file never loads OpenEXR.
#
#   countfile_module_test.sh BUILD_DIR
set -euo pipefail

BUILD="$1"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null
MANDEL="$WORK/prefix/bin/mandel"
MODULE="$(find "$WORK/prefix" -name mandel-countfile.so)"
[ -n "$MODULE" ] || { echo "no module installed"; exit 1; }

cd "$WORK"
LD_DEBUG=files "$MANDEL" render --size 32x24 --counts c.exr -o p.png \
  2>"$WORK/loads"
loaded="$(sed -n 's/.*file=\([^ ]*mandel-countfile\.so\).*/\1/p' \
  "$WORK/loads" | sort -u)"
if [ -z "$loaded" ] || [ "$(realpath "$loaded")" != "$(realpath "$MODULE")" ]; then
  echo "loaded '$loaded', want the installed '$MODULE'"
  exit 1
fi
"$MANDEL" info c.exr | grep -q "count file, 32 x 24 samples" ||
  { echo "the installed mandel cannot read its own count file"; exit 1; }

LD_DEBUG=files "$MANDEL" render --size 32x24 -o q.png 2>"$WORK/loads"
if grep -q -e mandel-countfile -e OpenEXR "$WORK/loads"; then
  echo "a render without a count file loaded OpenEXR"
  exit 1
fi
echo ok
