#!/bin/bash
# The shortest way to a picture: installs what mandel needs, builds only
# mandel, and renders a spiral of the seahorse valley, smooth and
# anti-aliased, to out/mandelbrot.png.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

# Only the packages this build needs; scripts/test.sh installs the rest.
PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libcli11-dev
  libpng-dev libisal-dev libopenexr-dev libmpfr-dev)
install_missing_packages
cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DBUILD_VIEWER=OFF \
  -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$ROOT/build" --target mandel -j "$(nproc)"
mkdir -p "$ROOT/out"
"$ROOT/build/mandel/mandel" render --center=-0.7436,0.1318 --width 0.004 \
  --limit 2000 --size 1200x900 --samples 3 -o "$ROOT/out/mandelbrot.png"
echo
echo "Rendered $ROOT/out/mandelbrot.png"
echo "Look at it with any image viewer, for example: xdg-open out/mandelbrot.png"
