#!/usr/bin/env bash
# Installs what the project needs, builds it from scratch with warnings as
# errors and runs every test. Usage: scripts/test.sh [--sanitize]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

extra=(-DQAV_WERROR=ON)
build="${BUILD_DIR:-$root/build-test}"
if [ "${1:-}" = "--sanitize" ]; then
  extra+=(-DQAV_SANITIZE=ON -DQAV_BUILD_BENCH=OFF)
  build="${BUILD_DIR:-$root/build-asan}"
fi
rm -rf "$build"
BUILD_DIR="$build" "$root/scripts/build.sh" "${extra[@]}"

# Tests never touch the user's session: headless Qt, private runtime and
# port-alias folders.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
chmod 700 "$scratch"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$scratch"
export QAV_NUVA_PORTS_DIR="$scratch/ports"
export HOME="$scratch/home"
mkdir -p "$HOME"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
