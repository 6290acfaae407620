#!/usr/bin/env bash
# Installs what the project needs, builds it and runs what exists so far.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
BUILD_DIR="${BUILD_DIR:-$root/build}" "$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
echo "Built. The GUI and simulator are not there yet; available ports:"
ls "$build"/src "$build"/cli 2>/dev/null | grep -E '^qav-nuva' || true
