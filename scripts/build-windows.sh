#!/usr/bin/env bash
# Cross-builds the Qt-free core and qav-nuva-cli.exe for 64-bit Windows with
# Debian's mingw-w64 (scripts/install-deps.sh --windows installs it) in
# BUILD_DIR (default build-windows/), linked statically so the one .exe runs
# on a Windows machine with nothing else installed, and packages it with the
# README's command-line section as build-windows/qav-nuva-cli-<version>-win64.zip.
# Targets named are built beside the program, in the same run (for example
# qav_core_tests, which scripts/test-windows.sh runs under Wine).
# Usage: scripts/build-windows.sh [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-windows}"
options=(-G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DQAV_WERROR=ON -DQAV_BUILD_GUI=OFF
  -DQAV_BUILD_BENCH=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake")
if command -v ccache >/dev/null; then options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" "${options[@]}" >/dev/null
targets=(--target qav-nuva-cli)
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"

# Nothing but Windows' own DLLs may be needed.
imports="$(x86_64-w64-mingw32-objdump -p "$build/cli/qav-nuva-cli.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')"
foreign="$(grep -viE '^(kernel32|advapi32|msvcrt|user32|ws2_32|setupapi|shell32|ole32)\.dll$' <<<"$imports" || true)"
if [ -n "$foreign" ]; then
  echo "build-windows: qav-nuva-cli.exe needs DLLs a Windows machine lacks:" $foreign >&2
  exit 1
fi

# The zip: the program and how to use it.
version="$(sed -n 's/^project(qav_nuva VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
name="qav-nuva-cli-$version-win64"
stage="$build/$name"
rm -rf "$stage" "$build/$name.zip"
mkdir -p "$stage"
cp "$build/cli/qav-nuva-cli.exe" "$stage/"
x86_64-w64-mingw32-strip "$stage/qav-nuva-cli.exe"
# The README's section on the command-line tool, up to the next section, with
# Windows line ends for Notepad.
awk '/^## The command-line tool/ { on = 1 } on && /^## / && !/^## The command-line tool/ { exit } on' \
  "$root/README.md" | sed 's/$/\r/' >"$stage/README.txt"
cp "$root/LICENSE" "$stage/LICENSE.txt"
(cd "$build" && zip -qr "$name.zip" "$name")
echo "$build/$name.zip"
