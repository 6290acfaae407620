#!/usr/bin/env bash
# Installs what the project needs, builds it and starts the GUI.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
BUILD_DIR="${BUILD_DIR:-$root/build}" "$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
if [ -x "$build/src/qav-nuva" ]; then
  exec "$build/src/qav-nuva"
fi
echo "Built, but the GUI is not there yet."
