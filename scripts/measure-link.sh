#!/usr/bin/env bash
# Measures the GUI's link to the simulated controller, which answers at the
# pace of a 115200 baud line (not a test; figures vary with the machine):
#  - the link timer's period and its 99th-percentile jitter, as the device
#    sees the frames arrive, over DURATION seconds (default 30);
#  - how often the PC's counter steps from one frame to the next (on every
#    tick when each answer is taken before the next tick) and how often each
#    read-back request goes out;
#  - the time from "Open COM Port" to the end of the parameter read-back;
#  - the CPU share and resident memory of the connected GUI, with --plots
#    while its live plot window is open (showing every telemetry answer);
#  - the time `qav-nuva-cli read` takes;
#  - with bench/link_follow: the read-back time as the screen shows it, and
#    how many telemetry answers the live boxes and the 3D display show.
# Usage: scripts/measure-link.sh [--plots] [DURATION]   (after a build into build/)
# PACE=0 lets the simulator answer at once instead, as a pseudo-terminal does.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
gui_args=()
if [ "${1:-}" = "--plots" ]; then
  gui_args+=(--plots)
  shift
fi
duration="${1:-30}"
pace_option=()
if [ "${PACE:-1}" != 0 ]; then pace_option=(--pace); fi
for tool in Xvfb python3; do
  command -v "$tool" >/dev/null || { echo "measure-link: $tool is needed" >&2; exit 1; }
done

work="$(mktemp -d)"
export QAV_NUVA_PORTS_DIR="$work/ports"
sim_pid=""
gui_pid=""
x_pid=""
cleanup() {
  for pid in $gui_pid $sim_pid $x_pid; do
    kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  [ -s "$work/gui.err" ] && grep -v "^This plugin" "$work/gui.err" >&2
  rm -rf "$work"
}
trap cleanup EXIT

"$build/sim/qav-nuva-sim" "${pace_option[@]}" --controller COM211 --frame-log "$work/frames.log" >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done

# A display of its own, so the GUI paints as on a desktop.
display=":$((100 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
x_pid=$!
sleep 1

# The GUI runs from a scratch folder so its settings file lands there, and,
# where it can, in a network namespace of its own: its single-instance name
# then cannot meet a copy that is already running on this machine.
cd "$work"
isolate=()
if unshare -rn true 2>/dev/null; then isolate=(unshare -rn); fi
DISPLAY="$display" XDG_RUNTIME_DIR="$work" "${isolate[@]}" "$build/src/qav-nuva" --connect COM211 "${gui_args[@]}" 2>"$work/gui.err" &
gui_pid=$!

sleep 3 # let it connect and settle
ticks=$(getconf CLK_TCK)
read -r cpu0 < <(awk '{print $14 + $15}' "/proc/$gui_pid/stat")
t0=$(date +%s%N)
sleep "$duration"
read -r cpu1 < <(awk '{print $14 + $15}' "/proc/$gui_pid/stat")
t1=$(date +%s%N)
rss_kib=$(awk '/^VmRSS:/ {print $2}' "/proc/$gui_pid/status")
hwm_kib=$(awk '/^VmHWM:/ {print $2}' "/proc/$gui_pid/status")
kill -TERM "$gui_pid" 2>/dev/null || true
wait "$gui_pid" 2>/dev/null || true
gui_pid=""

python3 - "$work/frames.log" "$duration" <<PY
import sys
path, duration = sys.argv[1], float(sys.argv[2])
frames = []
for line in open(path):
    t, kind, hexbytes = line.split()
    if kind == "controller":
        frames.append((int(t), bytes.fromhex(hexbytes)))
if len(frames) < 10:
    sys.exit("measure-link: too few frames logged")
first = frames[0][0]
# The read-back is over once the PC sends plain polls (type 0) again; the
# first tick comes one period after the button.
polls = [t for t, f in frames if f[13] == 0]
readback_ms = (polls[0] - first) / 1e6 + 20 if polls else float("nan")
# Steady state: the last DURATION seconds.
end = frames[-1][0]
steady = [t for t, _ in frames if t >= end - duration * 1e9]
gaps = sorted((b - a) / 1e6 for a, b in zip(steady, steady[1:]))
jitter = sorted(abs(g - 20.0) for g in gaps)
def pct(values, p):
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]
mean = sum(gaps) / len(gaps)
print(f"frames over {duration:.0f} s: {len(steady)}")
print(f"link period: mean {mean:.3f} ms, median {pct(gaps, 50):.3f} ms, min {gaps[0]:.3f} ms, max {gaps[-1]:.3f} ms")
print(f"jitter |period - 20 ms|: p50 {pct(jitter, 50):.3f} ms, p99 {pct(jitter, 99):.3f} ms, max {jitter[-1]:.3f} ms")
print(f"Open COM Port to all parameters updated: about {readback_ms:.0f} ms (as the device sees it, within one period)")
# Each answer echoes the counter; taken before the next tick, it makes the
# next frame carry the counter plus one.
steady_frames = [f for t, f in frames if t >= end - duration * 1e9]
steps = sum(1 for a, b in zip(steady_frames, steady_frames[1:]) if b[2] == (a[2] + 1) % 256)
print(f"counter stepped on {100.0 * steps / max(1, len(steady_frames) - 1):.1f} % of the ticks")
first_poll = next((i for i, (_, f) in enumerate(frames) if f[13] == 0), len(frames))
sent = [sum(1 for _, f in frames[:first_poll] if f[13] == kind) for kind in (0x81, 0x82, 0x83, 0x84)]
print("read-back requests sent (0x81 0x82 0x83 0x84): " + " ".join(str(n) for n in sent))
PY
awk -v plots="$([ ${#gui_args[@]} -gt 0 ] && echo ' (plot window open)')" -v c0="$cpu0" -v c1="$cpu1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" -v rss="$rss_kib" -v hwm="$hwm_kib" 'BEGIN {
  secs = (t1 - t0) / 1e9
  printf "GUI CPU share%s: %.2f %% of one core over %.0f s\n", plots, 100 * (c1 - c0) / hz / secs, secs
  printf "GUI resident memory: %.1f MiB (peak %.1f MiB)\n", rss / 1024, hwm / 1024
}'

# The command-line tool's read-back, with the port free again.
times=()
for i in 1 2 3 4 5; do
  s0=$(date +%s%N)
  "$build/cli/qav-nuva-cli" read --port COM211 -o "$work/read$i.bgsc" >/dev/null
  s1=$(date +%s%N)
  times+=($(( (s1 - s0) / 1000000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "qav-nuva-cli read: median ${sorted[2]} ms, max ${sorted[4]} ms (5 runs)"

if [ -x "$build/bench/link_follow" ]; then
  echo "main screen against the in-process simulator (bench/link_follow):"
  DISPLAY="$display" XDG_RUNTIME_DIR="$work" "$build/bench/link_follow" 10 "${pace_option[@]}" 2>/dev/null
fi
