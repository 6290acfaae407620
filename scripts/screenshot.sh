#!/usr/bin/env bash
# Takes docs/main-window.png: the main window as a new user first sees it
# with scripts/run.sh, connected to the simulated gimbal, on a virtual X
# display (needs xvfb, see install-deps.sh, and a built GUI). With --plots,
# docs/plot-window.png: the live plot window after a few seconds of the
# simulated gimbal's telemetry. With --review, docs/load-review.png: what
# "Load Config" shows before a file that changes a few values reaches the
# simulated controller.
# Usage: scripts/screenshot.sh [--plots | --review] [output.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
gui_args=()
default_out="$root/docs/main-window.png"
review=0
if [ "${1:-}" = "--plots" ]; then
  gui_args+=(--plots)
  default_out="$root/docs/plot-window.png"
  shift
elif [ "${1:-}" = "--review" ]; then
  review=1
  default_out="$root/docs/load-review.png"
  shift
fi
out="$(realpath -m "${1:-$default_out}")"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
chmod 700 "$scratch"
# A fresh user: own runtime folder, home and port aliases; run from a
# scratch folder so nothing lands in the source tree.
cd "$scratch"
export XDG_RUNTIME_DIR="$scratch" HOME="$scratch" QAV_NUVA_PORTS_DIR="$scratch/ports"
"$build/sim/qav-nuva-sim" --controller COM201 >"$scratch/sim.out" &
sim=$!
trap 'kill -TERM "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$scratch"' EXIT
for _ in $(seq 50); do [ -s "$scratch/sim.out" ] && break; sleep 0.1; done
if [ "$review" = 1 ]; then
  # The controller's own set with a few values tuned, two keys left out
  # (kept) and one misspelt (ignored).
  "$build/cli/qav-nuva-cli" read --port COM201 -o "$scratch/now.bgsc"
  sed -e 's/^ROLL_TOTAL=.*/ROLL_TOTAL=260/' -e 's/^PITCH_VEL=.*/PITCH_VEL=45/' \
      -e 's/^RECEIVER_TYPE=.*/RECEIVER_TYPE=2/' -e 's/^INIT_PITCH=.*/INIT_PITCH=-300/' \
      -e '/^ROLL_ACC=/d' -e '/^PITCH_ACC=/d' "$scratch/now.bgsc" >"$scratch/tuned.bgsc"
  echo "PITCH_TOTL=120" >>"$scratch/tuned.bgsc"
  export QAV_NUVA_SCREENSHOT_LOAD="$scratch/tuned.bgsc"
fi
QAV_NUVA_SCREENSHOT="$out" xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/qav-nuva" --connect COM201 "${gui_args[@]}"
echo "Saved $out"
