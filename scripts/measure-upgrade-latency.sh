#!/usr/bin/env bash
# Measures firmware upgrades over a slow line (not a test; times vary with
# the machine): RUNS upgrades (default 10) of a 2 KiB image with
# `qav-nuva-cli upgrade` against the simulated controller, paced like a
# 115200 baud line, at each answer delay of the simulator (default 0, 40,
# 120 and 200 ms, as from a Bluetooth serial module). Prints one row per
# delay: successes, and the median and longest time of an upgrade.
# Usage: scripts/measure-upgrade-latency.sh [RUNS] [DELAY_MS...]   (after a build into build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
runs="${1:-10}"
shift || true
delays=("$@")
[ ${#delays[@]} -gt 0 ] || delays=(0 40 120 200)
cli="$build/cli/qav-nuva-cli"
sim="$build/sim/qav-nuva-sim"
for tool in "$cli" "$sim" python3; do
  command -v "$tool" >/dev/null || { echo "measure-upgrade-latency: $tool is needed" >&2; exit 1; }
done

work="$(mktemp -d)"
export QAV_NUVA_PORTS_DIR="$work/ports"
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || { kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT

# A raw image that starts as a program does: stack pointer, reset address.
python3 - "$work/fw.bin" <<'PY'
import random, struct, sys
random.seed(7)
body = bytes(random.randrange(256) for _ in range(2048 - 8))
open(sys.argv[1], "wb").write(struct.pack("<II", 0x20005000, 0x08000101) + body)
PY
"$cli" firmware pack --board controller --version 24 --chip 0x410 "$work/fw.bin" -o "$work/fw.bgsf" >/dev/null

printf '%-10s %-10s %-12s %-12s\n' "delay ms" successes "median s" "longest s"
for delay in "${delays[@]}"; do
  : >"$work/sim.out"
  "$sim" --controller COM5 --pace --answer-delay "$delay" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  # The simulator names the device once it is there.
  until [ -s "$work/sim.out" ]; do
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.err" >&2; exit 1; }
    sleep 0.05
  done
  ok=0
  times=()
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    if "$cli" upgrade --port COM5 "$work/fw.bgsf" >"$work/run.log" 2>&1; then ok=$((ok + 1)); fi
    times+=("$(echo "$(date +%s.%N) - $start" | bc)")
  done
  kill -TERM "$sim_pid" && wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
  stats=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f %.1f", t[int((NR + 1) / 2)], t[NR] }')
  read -r median longest <<<"$stats"
  printf '%-10s %-10s %-12s %-12s\n' "$delay" "$ok/$runs" "$median" "$longest"
done
