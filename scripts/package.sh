#!/usr/bin/env bash
# Builds the Debian package: the three programs and the files that go with
# them in the shared build folder (BUILD_DIR, default build/), then
# `cpack -G DEB`, which strips the programs. Prints the path of the .deb.
# Install it with
#   sudo apt install ./build/qav-nuva_<version>_<arch>.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
BUILD_DIR="$build" "$root/scripts/build.sh" qav_package
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/qav-nuva_*.deb
