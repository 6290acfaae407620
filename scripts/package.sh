#!/usr/bin/env bash
# Builds the Debian package: a release build of the three programs in
# BUILD_DIR (default build-package/), then `cpack -G DEB`. Prints the path of
# the .deb. Install it with
#   sudo apt install ./qav-nuva_<version>_<arch>.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-package}"
"$root/scripts/install-deps.sh"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQAV_BUILD_TESTS=OFF -DQAV_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/qav-nuva_*.deb
