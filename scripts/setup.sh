# Shared set-up for the scripts in this folder; source it, do not run it.
# Installs the Debian packages the suite needs (only those missing) and
# offers build_tree to configure and build one build directory.

set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev libpng-dev libisal-dev libopenexr-dev libmpfr-dev groff-base
  libgtkmm-3.0-dev libxtst-dev xvfb xauth fonts-ipafont-gothic
  make parallel ffmpeg desktop-file-utils
)

install_missing_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null |
        grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
      --no-install-recommends "${missing[@]}"
  fi
}

# build_tree DIR [cmake options...]: configure (once) and build DIR.
build_tree() {
  local dir="$1"
  shift
  cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$ROOT/$dir" -j "$(nproc)"
}
