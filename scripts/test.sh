#!/usr/bin/env bash
# Installs what the project needs, builds every test program and what the
# tests run, with warnings as errors, in the shared build folder (BUILD_DIR,
# default build/), and runs every test. With --sanitize: the same in its own
# folder (default build-asan/) under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
# The log has one short line per test; each failed test's name and output
# are repeated at the end.
# Usage: scripts/test.sh [--sanitize]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

build="${BUILD_DIR:-$root/build}"
if [ "${1:-}" = "--sanitize" ]; then
  build="${BUILD_DIR:-$root/build-asan}"
  export QAV_CMAKE_OPTIONS="-DQAV_SANITIZE=ON ${QAV_CMAKE_OPTIONS:-}"
  # Leaks are not errors here: Qt and fontconfig keep caches until exit.
  export ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}"
  export UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}"
fi
BUILD_DIR="$build" "$root/scripts/build.sh" qav_tests

# Tests never touch the user's session: headless Qt, private runtime and
# port-alias folders.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
chmod 700 "$scratch"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$scratch"
export QAV_NUVA_PORTS_DIR="$scratch/ports"
export HOME="$scratch/home"
mkdir -p "$HOME"

# ctest pads every result line to its longest test name: squeeze the dots.
status=0
summary="$build/Testing/summary.log"
mkdir -p "$(dirname "$summary")"
ctest --test-dir "$build" -j "$(nproc)" --timeout 300 2>&1 | sed -E 's/ \.{2,}/ /' | tee "$summary" || status=$?
if [ "$status" -ne 0 ]; then
  # Every failed test's own output, from ctest's log of this run.
  awk '
    /^[0-9]+\/[0-9]+ Test: / { name = substr($0, index($0, "Test: ") + 6); out = ""; inside = 0; passed = 0; next }
    /^Output:$/ { inside = 1; first = 1; next }
    inside && first { first = 0; if ($0 ~ /^-+$/) next }
    /^<end of output>$/ { inside = 0; next }
    inside { out = out $0 "\n"; next }
    /^Test Passed\./ { passed = 1; next }
    /^"[^"]*" end time:/ {
      if (name != "" && !passed) printf "\n==== %s\n%s", name, out
      name = ""
      next
    }
  ' "$build/Testing/Temporary/LastTest.log"
  echo
  echo "Failed tests, each with its output above:"
  sed -n '/^The following tests FAILED:/,/^Errors while running/p' "$summary" | grep -E '^[[:space:]]+[0-9]+ - ' ||
    sed 's/^[0-9]*:/  /' "$build/Testing/Temporary/LastTestsFailed.log"
fi
exit "$status"
