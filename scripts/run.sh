#!/usr/bin/env bash
# Installs what the project needs, builds the GUI and the simulator (and
# nothing else), starts the simulated gimbal (main controller on COM201,
# motor board on COM202, registered in the alias folder) and the GUI beside
# it. The simulator stops when the GUI exits, or on Ctrl+C when there is no
# GUI yet.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
BUILD_DIR="$build" "$root/scripts/build.sh" qav-nuva qav-nuva-sim

# The simulator's flash lives beside the user's alias folder, so settings
# written to flash survive from one run to the next.
config="$HOME/.config/qav-nuva"
mkdir -p "$config"
lines="$(mktemp)"
errors="$(mktemp)"
"$build/sim/qav-nuva-sim" --controller COM201 --motor COM202 --flash "$config/sim-flash.bgsc" >"$lines" 2>"$errors" &
sim=$!
follow=""
stop_sim() {
  kill -TERM "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  [ -z "$follow" ] || kill "$follow" 2>/dev/null || true
  rm -f "$lines" "$errors"
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

# Its two lines say where the devices are; it prints them once serving.
for _ in $(seq 100); do
  if ! kill -0 "$sim" 2>/dev/null; then
    status=0
    wait "$sim" || status=$?
    cat "$errors" >&2
    if grep -q "already taken by a live alias" "$errors"; then
      # The simulator of an earlier run still serves the names.
      earlier=$(pgrep -u "$(id -u)" -f "qav-nuva-sim --controller COM201" | tr '\n' ' ' || true)
      echo "A simulator from an earlier ./scripts/run.sh still holds COM201 and COM202; it stops when that" >&2
      echo "run's window is closed. Close that window, or stop the simulator with:" >&2
      if [ -n "$earlier" ]; then
        echo "  kill $earlier" >&2
      else
        echo "  pkill -f 'qav-nuva-sim --controller COM201'" >&2
      fi
    fi
    exit $((status == 0 ? 1 : status))
  fi
  [ "$(wc -l <"$lines")" -ge 2 ] && break
  sleep 0.1
done
echo "Simulated gimbal:"
sed 's/^/  /' "$lines"
# What the simulator says from here on goes to the terminal.
tail -n +1 -f "$errors" >&2 &
follow=$!

if [ -x "$build/src/qav-nuva" ]; then
  "$build/src/qav-nuva" --connect COM201
else
  echo "The GUI is not there yet; the simulator serves until Ctrl+C."
  wait "$sim"
fi
