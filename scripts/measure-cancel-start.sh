#!/usr/bin/env bash
# Cancel, then Start, again and again on a loaded machine: runs the main
# screen's and the motor dialog's Cancel→Start tests (a cancel in the middle
# of the writes, then a Start that must complete) RUNS times each (default
# 50) while LOAD busy loops (default: one per core) keep every core busy,
# and prints how many runs completed.
# Usage: scripts/measure-cancel-start.sh [RUNS] [LOAD]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-50}"
load="${2:-$(nproc)}"
build="${BUILD_DIR:-$root/build}"
BUILD_DIR="$build" "$root/scripts/build.sh" qav_gui_tests >/dev/null

scratch="$(mktemp -d)"
chmod 700 "$scratch"
hogs=()
cleanup() {
  for pid in "${hogs[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
for ((i = 0; i < load; i++)); do
  (while :; do :; done) &
  hogs+=($!)
done

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" QAV_NUVA_PORTS_DIR="$scratch/ports"
printf '%-60s %s\n' test completed
for filter in UpgradeTest.CancelThenStart* MotorUpgradeTest.CancelThenStart*; do
  log="$scratch/log"
  start=$(date +%s)
  "$build/tests/qav_gui_tests" --gtest_filter="$filter" --gtest_repeat="$runs" >"$log" 2>&1 || true
  passed=$(grep -c '^\[       OK \]' "$log" || true)
  printf '%-60s %d of %d (%d s, %d busy loops)\n' "$filter" "$passed" "$runs" $(($(date +%s) - start)) "$load"
  grep -E '^\[  FAILED  \]|Failure' "$log" | sort | uniq -c | head -5 || true
done
