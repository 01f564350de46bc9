#!/bin/bash
# Builds the suite and renders the default view (-2-2i, 4 x 4, 400 x 400
# pixels, limit 100) to out/mandelbrot.bmp, then shows its headers.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_missing_packages
build_tree build
mkdir -p "$ROOT/out"
"$ROOT/build/setrender/setrender" -2 -2 4 400 400 100 "$ROOT/out/mandelbrot"
"$ROOT/build/dibpeek/dibpeek" "$ROOT/out/mandelbrot"
echo
echo "Rendered the default view to $ROOT/out/mandelbrot.bmp"
