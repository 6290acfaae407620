#!/usr/bin/env bash
# Proves the Windows build under Wine:
#  1. builds qav-nuva.exe and qav-nuva-cli.exe with their zip and the unit
#     tests for Windows (scripts/build-windows.sh), and the Linux simulator,
#     command-line tool and GUI tests (scripts/build.sh);
#  2. runs the core's and the GUI's unit tests under Wine, and the Linux
#     build's beside them (the same GUI tests: those that start the
#     simulator on pseudo-terminals are Linux's only);
#  3. end to end, with the command-line tool from the zip: the Linux simulator on
#     pseudo-terminals, once for each build, a private Wine prefix whose
#     dosdevices/comN links point at the simulator's terminals, and the
#     same commands from both builds: read,
#     write --flash, monitor --count, read --board motor, upgrade of both
#     boards, and a port that is not there. Their output, exit codes and
#     the files they leave (and the simulator's flash) must be the same;
#  4. the GUI end to end, on a private virtual display: qav-nuva.exe from
#     the zip with --connect COM21 reads the simulated controller's set back
#     (its status line and Setting.ini are checked, its window pictured);
#     then the GUI's live tests (tests/live) drive the real screens under
#     Wine against the simulator: read-back, live attitude, a gain typed and
#     written to flash, the motor dialog reading the motor board, an upgrade
#     of each board; the command-line tool then reads back what the boards
#     hold. The same live tests run on Linux beside them.
# Prints the time of each step, Wine's beside Linux's. With --screenshots
# the pictures of the main window and the motor dialog under Wine are
# copied to docs/windows-main-window.png and docs/windows-motor-dialog.png.
# Usage: scripts/test-windows.sh [--screenshots]   (scripts/install-deps.sh --windows first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
win_build="${WINDOWS_BUILD_DIR:-$root/build-windows}"
screenshots=0
if [ "${1:-}" = "--screenshots" ]; then screenshots=1; fi
for tool in wine wineboot wineserver x86_64-w64-mingw32-g++-posix python3 unzip Xvfb; do
  command -v "$tool" >/dev/null || {
    echo "test-windows: $tool is needed (scripts/install-deps.sh --windows)" >&2
    exit 1
  }
done

work="$(mktemp -d)"
chmod 700 "$work"
sim_pid=""
xvfb_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null; fi
  # Ends this prefix's Wine server only.
  if [ -d "$work/wine" ]; then WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Times in milliseconds, by step name.
declare -A took
ms_now() { local t=${EPOCHREALTIME/./}; echo $((t / 1000)); }
# timed NAME COMMAND...: runs the command, keeping its time under NAME and
# its exit code in $rc (never fails the script).
timed() {
  local name=$1 start
  shift
  start=$(ms_now)
  rc=0
  "$@" || rc=$?
  took[$name]=$(($(ms_now) - start))
}
fail() {
  echo "test-windows: $*" >&2
  exit 1
}

echo "== building"
timed "build: Linux" env BUILD_DIR="$build" "$root/scripts/build.sh" qav-nuva-sim qav-nuva-cli qav_core_tests \
  qav_gui_tests
[ "$rc" -eq 0 ] || fail "the Linux build failed"
timed "build: Windows (Qt cached)" env BUILD_DIR="$win_build" "$root/scripts/build-windows.sh" qav_core_tests \
  qav_gui_tests
[ "$rc" -eq 0 ] || fail "the Windows build failed"
cli_linux="$build/cli/qav-nuva-cli"
# The programs as users get them: from the zip.
zip_file="$(ls -t "$win_build"/qav-nuva-[0-9]*-win64.zip | head -n 1)"
mkdir -p "$work/zip"
(cd "$work/zip" && unzip -q "$zip_file")
cli_windows="$(ls "$work"/zip/*/qav-nuva-cli.exe)"
gui_windows="$(ls "$work"/zip/*/qav-nuva.exe)"
sim="$build/sim/qav-nuva-sim"

# Nothing of the user's is touched: a private home, alias folder and Wine
# prefix.
export HOME="$work/home" XDG_RUNTIME_DIR="$work" QAV_NUVA_PORTS_DIR="$work/ports"
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
echo "== a fresh Wine prefix"
mkdir -p "$WINEPREFIX"
# One server for every program of the run, instead of one each. Wine's
# own chatter (a prefix being made, the server's object dump at its end)
# goes to a log, shown when something fails.
wineserver -p >"$work/wine.log" 2>&1
timed "wineboot (once)" wineboot -i 2>>"$work/wine.log"
[ "$rc" -eq 0 ] || fail "wineboot failed: $(cat "$work/wine.log")"

echo "== the core's unit tests"
timed "core tests: Linux" "$build/tests/qav_core_tests" --gtest_brief=1
[ "$rc" -eq 0 ] || fail "the core's unit tests failed on Linux"
timed "core tests: Wine" wine "$win_build/tests/qav_core_tests.exe" --gtest_brief=1
[ "$rc" -eq 0 ] || fail "the core's unit tests failed under Wine"

echo "== the GUI's unit tests"
# The live tests need boards: they run below, against the simulator. Wine
# passes on no QT_* variable: the tests run on their default platform,
# offscreen, and -platform chooses another.
gui_filter="-LiveBoardsTest.*"
timed "GUI tests: Wine" wine "$win_build/tests/qav_gui_tests.exe" --gtest_brief=1 \
  --gtest_filter="$gui_filter" >"$work/gui-wine.log" 2>&1
grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$work/gui-wine.log" | sed 's/^/  Wine:  /' || true
[ "$rc" -eq 0 ] || fail "the GUI's unit tests failed under Wine: $(tr -d '\r' <"$work/gui-wine.log" | tail -n 60)"
# The same suites on Linux.
suites="$(wine "$win_build/tests/qav_gui_tests.exe" --gtest_list_tests --gtest_filter="$gui_filter" 2>/dev/null |
  tr -d '\r' | sed -n 's/^\([A-Za-z0-9_/]*\)\.$/\1.*/p' | paste -sd: -)"
timed "GUI tests: Linux" env QT_QPA_PLATFORM=offscreen "$build/tests/qav_gui_tests" --gtest_brief=1 \
  --gtest_filter="$suites" >"$work/gui-linux.log" 2>&1
grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$work/gui-linux.log" | sed 's/^/  Linux: /' || true
[ "$rc" -eq 0 ] || fail "the GUI's unit tests failed on Linux: $(tail -n 60 "$work/gui-linux.log")"

# Firmware for both boards, packed once, the same for both runs.
mkdir -p "$work/in"
python3 - "$work/in" <<'PY'
import random, struct, sys
folder = sys.argv[1]
r = random.Random(22)
# A vector table's start (stack pointer in RAM, reset address in flash), then
# code-like bytes; the simulated boards run the version byte at 0x1C, so
# what they report after the upgrade shows the new image started.
for name, stack, size, version in (("controller.bin", 0x20001000, 30000, 24), ("motor.bin", 0x20000800, 12000, 16)):
    image = bytearray(struct.pack("<II", stack, 0x08000101) + bytes(r.randrange(256) for _ in range(size)))
    image[0x1C] = version
    open(f"{folder}/{name}", "wb").write(image)
# A set to write: a few keys changed, the rest keeps the board's values.
open(f"{folder}/edited.bgsc", "w").write("[PARAMETERS]\nROLL_TOTAL=150\nROLL_ACC=60\nTILT_VEL=70\n")
PY
"$cli_linux" firmware pack --board controller --version 24 --chip 0x410 "$work/in/controller.bin" \
  -o "$work/in/controller.bgsf" >/dev/null
"$cli_linux" firmware pack --board motor --version 16 --chip 0x422 "$work/in/motor.bin" \
  -o "$work/in/motor.bmcf" >/dev/null

controller=COM21
motor=COM22
absent=COM23
# The steps of one run: name, then the command's arguments. The same
# arguments for both builds; file names are relative to the run's folder.
steps=(
  "read|read --port $controller -o read.bgsc"
  "write --flash|write --port $controller ../in/edited.bgsc --flash"
  "read after write|read --port $controller -o written.bgsc"
  "monitor --count 5|monitor --port $controller --count 5"
  "read --board motor|read --board motor --port $motor -o motor.bmc"
  "upgrade controller|upgrade --port $controller ../in/controller.bgsf"
  "upgrade motor|upgrade --board motor --port $motor ../in/motor.bmcf"
  "monitor after upgrades|monitor --port $controller --count 1"
  "monitor motor after upgrade|monitor --board motor --port $motor --count 1"
  "read of a missing port|read --port $absent"
)

# start_sim DIR OPTION...: a fresh simulator of both boards on COM21 and
# COM22, its flash files in DIR, with Wine's COM21 and COM22 on the same
# terminals.
start_sim() {
  local dir=$1
  shift
  rm -rf "$QAV_NUVA_PORTS_DIR"
  "$sim" --controller "$controller" --motor "$motor" --flash "$dir/sim-flash.bgsc" \
    --motor-flash "$dir/sim-motor.bmc" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  # The simulator names its terminals once both are up; a hang is the only
  # thing the generous limit catches.
  local waited=0
  until [ "$(grep -c /dev/ "$work/sim.out" 2>/dev/null)" = 2 ]; do
    kill -0 "$sim_pid" 2>/dev/null || fail "the simulator ended: $(cat "$work/sim.err")"
    waited=$((waited + 1))
    [ "$waited" -lt 300 ] || fail "the simulator did not come up"
    sleep 0.1
  done
  # Wine's ports: dosdevices/comN, lower case, to the same terminals.
  local name device
  while read -r _ name device; do
    ln -sfn "$device" "$WINEPREFIX/dosdevices/${name,,}"
  done <"$work/sim.out"
}
stop_sim() {
  kill -TERM "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=""
}

# run_all PLATFORM CLI...: a fresh simulator, then every step with the
# command-line tool given; results in $work/PLATFORM.
run_all() {
  local platform=$1
  shift
  local dir="$work/$platform"
  mkdir -p "$dir"
  # Held still without noise, so telemetry reads the same each time.
  start_sim "$dir" --attitude 1.5,-2.5,3.5 --sticks 10,-20,30,0,-100 --seed 22
  local i=0 step label args
  for step in "${steps[@]}"; do
    i=$((i + 1))
    label=${step%%|*}
    read -ra args <<<"${step#*|}"
    (cd "$dir" && timed_step "$platform" "$label" "$i" "$@" "${args[@]}")
  done
  stop_sim
}

# timed_step PLATFORM LABEL N COMMAND...: in the run's folder, stdout to
# N.out, stderr to N.err, exit code to N.rc, time to N.ms.
timed_step() {
  local platform=$1 label=$2 n=$3 start
  shift 3
  start=$(ms_now)
  local status=0
  timeout 300 "$@" >"$n.out" 2>"$n.err" </dev/null || status=$?
  echo $(($(ms_now) - start)) >"$n.ms"
  echo "$status" >"$n.rc"
  printf '  %-8s %-28s exit %s\n' "$platform" "$label" "$status"
}

echo "== end to end against the simulator"
run_all linux "$cli_linux"
run_all windows wine "$cli_windows"

# What must be the same: every step's output and exit code, and every file
# left (what read wrote, the simulator's flash), byte for byte. Output is
# compared by its text: a Windows console program ends its lines with CR LF.
# The motor board's voltage and current are measured, not held: their
# values are left out.
comparable() {
  case "$1" in
    *.out) tr -d '\r' <"$1" | sed -E 's/^voltage [0-9.]+ current [0-9.]+ /voltage _ current _ /' ;;
    *) cat "$1" ;;
  esac
}
status=0
for f in "$work/linux"/*; do
  name=$(basename "$f")
  case "$name" in *.err | *.ms) continue ;; esac
  if ! cmp -s <(comparable "$f") <(comparable "$work/windows/$name"); then
    echo "test-windows: $name differs between Linux and Wine:" >&2
    diff -u <(comparable "$f") <(comparable "$work/windows/$name") | head -n 20 >&2 || true
    status=1
  fi
done
# The upgraded boards run the new firmware.
grep -q 'firmware 2\.4$' "$work/linux/8.out" || { echo "test-windows: the controller runs no V2.4" >&2; status=1; }
grep -q 'firmware 1\.6$' "$work/linux/9.out" || { echo "test-windows: the motor board runs no V1.6" >&2; status=1; }
# Every step that should work did, and the missing port failed.
i=0
for step in "${steps[@]}"; do
  i=$((i + 1))
  want=0
  [ "${step%%|*}" = "read of a missing port" ] && want=1
  got=$(cat "$work/linux/$i.rc")
  if { [ "$want" = 0 ] && [ "$got" != 0 ]; } || { [ "$want" != 0 ] && [ "$got" = 0 ]; }; then
    echo "test-windows: ${step%%|*} ended with $got:" >&2
    cat "$work/linux/$i.err" >&2
    status=1
  fi
done
grep -q '^ROLL_TOTAL=150$' "$work/linux/written.bgsc" || { echo "test-windows: the write did not take" >&2; status=1; }
# Backups of the set before the write, each where its system keeps them.
ls "$HOME/.local/share/qav-nuva/backups/"*.bgsc >/dev/null 2>&1 ||
  { echo "test-windows: no backup on Linux" >&2; status=1; }
ls "$WINEPREFIX/drive_c/users/"*/AppData/Local/qav-nuva/backups/*.bgsc >/dev/null 2>&1 ||
  { echo "test-windows: no backup under Wine" >&2; status=1; }

echo "== the GUI end to end"
# A virtual display of its own, for Wine's windows.
exec 4>"$work/display"
Xvfb -displayfd 4 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 4>&-
waited=0
until [ -s "$work/display" ]; do
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
  waited=$((waited + 1))
  [ "$waited" -lt 300 ] || fail "Xvfb did not come up"
  sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"
shots="$work/shots"
mkdir -p "$shots" "$work/gui"
# The boards as a user's are: moving, not held still.
start_sim "$work/gui" --seed 29
# Wine's serial-device map (the COM list's source) lists the ports named
# under HKLM\Software\Wine\Ports when its server starts: there they go,
# then a new server.
{
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
  while read -r _ name device; do printf '"%s"="%s"\r\n' "$name" "$device"; done <"$work/sim.out"
} >"$work/ports.reg"
wine reg import "$(winepath -w "$work/ports.reg")" >>"$work/wine.log" 2>&1 || fail "the ports did not go into Wine's registry"
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p >>"$work/wine.log" 2>&1
# The program from the zip, started in a folder of its own as from
# Explorer: it opens COM21, reads the set back, is pictured and quits,
# keeping the port's name in Setting.ini there.
mkdir -p "$work/gui/start"
timed "GUI --connect COM21: Wine" env -C "$work/gui/start" QAV_NUVA_SCREENSHOT="$shots/main-window-exe.png" \
  timeout 300 wine "$gui_windows" --connect "$controller" >"$work/gui/connect.out" 2>"$work/gui/connect.err"
[ "$rc" -eq 0 ] || fail "qav-nuva.exe --connect ended with $rc: $(cat "$work/gui/connect.err")"
grep -q 'All parameters updated!' "$work/gui/connect.out" ||
  fail "qav-nuva.exe did not read the controller's set back; its status line: $(cat "$work/gui/connect.out")"
[ -s "$shots/main-window-exe.png" ] || fail "qav-nuva.exe left no picture"
tr -d '\r' <"$work/gui/start/Setting.ini" | grep -qx "COM_NAME=$controller" ||
  fail "Setting.ini does not keep $controller: $(cat "$work/gui/start/Setting.ini" 2>&1)"
# The screens driven as a user does: windows on the virtual display,
# pictures of them into $shots.
gain=123
live_env=(QAV_LIVE_CONTROLLER="$controller" QAV_LIVE_MOTOR="$motor" QAV_LIVE_ROLL_TOTAL="$gain")
# Windows' names of the files, as the file chooser would give them.
timed "GUI live tests: Wine" env -C "$work/gui/start" "${live_env[@]}" \
  QAV_LIVE_SHOTS="$(winepath -w "$shots")" QAV_LIVE_CONTROLLER_FIRMWARE="$(winepath -w "$work/in/controller.bgsf")" \
  QAV_LIVE_MOTOR_FIRMWARE="$(winepath -w "$work/in/motor.bmcf")" \
  timeout 600 wine "$win_build/tests/qav_gui_tests.exe" -platform windows --gtest_brief=1 --gtest_filter='LiveBoardsTest.*' \
  >"$work/live-wine.log" 2>&1
grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$work/live-wine.log" | sed 's/^/  Wine:  /' || true
[ "$rc" -eq 0 ] || fail "the GUI's live tests failed under Wine: $(tr -d '\r' <"$work/live-wine.log" | tail -n 60)"
grep -q 'PASSED.* 2 tests' "$work/live-wine.log" || fail "the GUI's live tests did not all run under Wine"
# What the boards hold now, read by the Linux command-line tool.
"$cli_linux" read --port "$controller" -o "$work/gui/after.bgsc" >/dev/null
grep -qx "ROLL_TOTAL=$gain" "$work/gui/after.bgsc" || fail "the gain typed under Wine is not on the controller"
grep -qx "ROLL_TOTAL=$gain" "$work/gui/sim-flash.bgsc" || fail "the gain typed under Wine is not in its flash"
"$cli_linux" monitor --port "$controller" --count 1 | grep -q 'firmware 2\.4$' ||
  fail "the controller upgraded under Wine runs no V2.4"
"$cli_linux" monitor --board motor --port "$motor" --count 1 | grep -q 'firmware 1\.6$' ||
  fail "the motor board upgraded under Wine runs no V1.6"
stop_sim
# The same on Linux, against a fresh simulator.
mkdir -p "$work/gui-linux"
start_sim "$work/gui-linux" --seed 29
timed "GUI live tests: Linux" env -C "$work/gui-linux" QT_QPA_PLATFORM=offscreen "${live_env[@]}" \
  QAV_LIVE_CONTROLLER_FIRMWARE="$work/in/controller.bgsf" QAV_LIVE_MOTOR_FIRMWARE="$work/in/motor.bmcf" \
  "$build/tests/qav_gui_tests" --gtest_brief=1 --gtest_filter='LiveBoardsTest.*' >"$work/live-linux.log" 2>&1
grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$work/live-linux.log" | sed 's/^/  Linux: /' || true
[ "$rc" -eq 0 ] || fail "the GUI's live tests failed on Linux: $(tail -n 60 "$work/live-linux.log")"
grep -qx "ROLL_TOTAL=$gain" "$work/gui-linux/sim-flash.bgsc" || fail "the gain typed on Linux is not in its flash"
stop_sim
if [ "$screenshots" = 1 ]; then
  cp "$shots/main-window.png" "$root/docs/windows-main-window.png"
  cp "$shots/motor-dialog.png" "$root/docs/windows-motor-dialog.png"
  echo "  pictures: docs/windows-main-window.png, docs/windows-motor-dialog.png"
fi

echo "== times (ms)"
printf '  %-30s %10s %10s\n' "step" "Linux" "Wine"
for name in "build: Linux" "build: Windows (Qt cached)" "wineboot (once)"; do
  printf '  %-30s %10s\n' "$name" "${took[$name]}"
done
printf '  %-30s %10s %10s\n' "core tests" "${took[core tests: Linux]}" "${took[core tests: Wine]}"
printf '  %-30s %10s %10s\n' "GUI tests" "${took[GUI tests: Linux]}" "${took[GUI tests: Wine]}"
printf '  %-30s %10s %10s\n' "GUI --connect, pictured" "" "${took[GUI --connect COM21: Wine]}"
printf '  %-30s %10s %10s\n' "GUI live tests" "${took[GUI live tests: Linux]}" "${took[GUI live tests: Wine]}"
i=0
for step in "${steps[@]}"; do
  i=$((i + 1))
  printf '  %-30s %10s %10s\n' "${step%%|*}" "$(cat "$work/linux/$i.ms")" "$(cat "$work/windows/$i.ms")"
done
echo "  zip: $zip_file ($(stat -c %s "$zip_file") bytes)"
for exe in "$gui_windows" "$cli_windows"; do echo "  $(basename "$exe"): $(stat -c %s "$exe") bytes"; done
if [ "$status" -ne 0 ]; then
  echo "test-windows: FAILED" >&2
  exit 1
fi
echo "test-windows: the Windows build behaves as the Linux build"
