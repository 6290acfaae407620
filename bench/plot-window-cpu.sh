#!/usr/bin/env bash
# The connected GUI's CPU share with and without the live plot window,
# this build beside another (by default the main line's), not a test.
# Each GUI runs against a simulator of its own (answering at the pace of a
# 115200 baud line, about 50 answers a second) on an Xvfb display of its own;
# the share is the process's CPU time over SECONDS (default 30) of wall time,
# first without the plot window, then with it.
# Usage: bench/plot-window-cpu.sh [SECONDS] [OTHER_BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
other="${2:-$root/../main/build}"
this="${BUILD_DIR:-$root/build}"
for build in "$this" "$other"; do
  for program in src/qav-nuva sim/qav-nuva-sim; do
    [ -x "$build/$program" ] || { echo "plot-window-cpu: $build/$program is not built" >&2; exit 1; }
  done
done
echo "Without the plot window, ${seconds} s:"
PLOTS=0 "$root/scripts/compare-gui-cpu.sh" "$seconds" "$this" "$other"
echo "With the plot window, ${seconds} s:"
PLOTS=1 "$root/scripts/compare-gui-cpu.sh" "$seconds" "$this" "$other"
