#!/usr/bin/env bash
# Compares the connected GUI's CPU share between builds (not a test). On a
# shared machine one build's share moves by a tenth or more from run to run;
# run side by side, each GUI against a simulator of its own on a display of
# its own, the builds meet the same conditions and their difference shows.
# Usage: scripts/compare-gui-cpu.sh SECONDS BUILD_DIR [BUILD_DIR ...]
# The simulators answer at the pace of a 115200 baud line; PACE=0 lets them
# answer at once instead; PLOTS=1 opens the live plot window in every GUI.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 SECONDS BUILD_DIR [BUILD_DIR ...]" >&2; exit 1; }
seconds="$1"
shift
for tool in Xvfb; do
  command -v "$tool" >/dev/null || { echo "compare-gui-cpu: $tool is needed" >&2; exit 1; }
done
work="$(mktemp -d)"
helpers=()
guis=()
cleanup() {
  kill "${guis[@]}" "${helpers[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

gui_options=(--connect)
if [ "${PLOTS:-0}" != 0 ]; then gui_options=(--plots --connect); fi
pace_option=()
if [ "${PACE:-1}" != 0 ]; then pace_option=(--pace); fi
isolate=()
if unshare -rn true 2>/dev/null; then isolate=(unshare -rn); fi
i=0
for build in "$@"; do
  i=$((i + 1))
  mkdir -p "$work/$i/ports"
  chmod 700 "$work/$i" # a private runtime folder each, so each copy is the first
  QAV_NUVA_PORTS_DIR="$work/$i/ports" "$build/sim/qav-nuva-sim" "${pace_option[@]}" --controller "COM23$i" >"$work/$i/sim.out" 2>&1 &
  helpers+=($!)
  display=":$((100 + RANDOM % 400))"
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  helpers+=($!)
  echo "$display" >"$work/$i/display"
done
sleep 1.5
i=0
for build in "$@"; do
  i=$((i + 1))
  (cd "$work/$i" && QAV_NUVA_PORTS_DIR="$work/$i/ports" DISPLAY="$(cat "$work/$i/display")" XDG_RUNTIME_DIR="$work/$i" \
    exec "${isolate[@]}" "$build/src/qav-nuva" "${gui_options[@]}" "COM23$i" >gui.out 2>&1) &
  guis+=($!)
done
sleep 4 # connected and settled
declare -a start
for n in "${!guis[@]}"; do start[$n]=$(awk '{print $14 + $15}' "/proc/${guis[$n]}/stat"); done
t0=$(date +%s%N)
sleep "$seconds"
t1=$(date +%s%N)
hz=$(getconf CLK_TCK)
i=0
for n in "${!guis[@]}"; do
  i=$((i + 1))
  end=$(awk '{print $14 + $15}' "/proc/${guis[$n]}/stat")
  awk -v b="${@:$i:1}" -v c0="${start[$n]}" -v c1="$end" -v t0="$t0" -v t1="$t1" -v hz="$hz" \
    'BEGIN { printf "%s: GUI CPU share %.2f %% of one core\n", b, 100 * (c1 - c0) / hz / ((t1 - t0) / 1e9) }'
done
