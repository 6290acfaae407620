#!/usr/bin/env bash
# Configures the build folder BUILD_DIR (default build/) and builds the
# targets named, or everything when none is named. scripts/run.sh,
# scripts/test.sh and scripts/package.sh share build/, each building only
# what it needs, so whatever one of them built the others reuse.
# More configure options in QAV_CMAKE_OPTIONS, e.g. "-DQAV_SANITIZE=ON".
# Usage: scripts/build.sh [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
options=(-G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DQAV_WERROR=ON)
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Files built with a precompiled header are cached only with these.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
  # Paths inside the clone count as relative, so another clone (CI's, in a
  # folder of its own) finds what this one compiled.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
read -ra extra <<<"${QAV_CMAKE_OPTIONS:-}"
cmake -S "$root" -B "$build" "${options[@]}" "${extra[@]}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
