#!/usr/bin/env bash
# Installs what the project needs, builds it, starts the simulated gimbal
# (main controller on COM201, motor board on COM202, registered in the alias
# folder) and the GUI beside it. The simulator stops when the GUI exits, or
# on Ctrl+C when there is no GUI yet.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
BUILD_DIR="${BUILD_DIR:-$root/build}" "$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"

# The simulator's flash lives beside the user's alias folder, so settings
# written to flash survive from one run to the next.
config="$HOME/.config/qav-nuva"
mkdir -p "$config"
lines="$(mktemp)"
"$build/sim/qav-nuva-sim" --controller COM201 --motor COM202 --flash "$config/sim-flash.bgsc" >"$lines" &
sim=$!
stop_sim() {
  kill -TERM "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  rm -f "$lines"
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

# Its two lines say where the devices are; it prints them once serving.
for _ in $(seq 100); do
  if ! kill -0 "$sim" 2>/dev/null; then
    wait "$sim" || exit $?
    exit 1
  fi
  [ "$(wc -l <"$lines")" -ge 2 ] && break
  sleep 0.1
done
echo "Simulated gimbal:"
sed 's/^/  /' "$lines"

if [ -x "$build/src/qav-nuva" ]; then
  "$build/src/qav-nuva" --connect COM201
else
  echo "The GUI is not there yet; the simulator serves until Ctrl+C."
  wait "$sim"
fi
