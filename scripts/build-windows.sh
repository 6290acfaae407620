#!/usr/bin/env bash
# Cross-builds the programs for 64-bit Windows with Debian's mingw-w64
# (scripts/install-deps.sh --windows installs it) in BUILD_DIR (default
# build-windows/): qav-nuva.exe, the GUI, and qav-nuva-cli.exe, each linked
# statically so that one .exe runs on a Windows machine with nothing else
# installed. Qt and QCustomPlot for Windows come from scripts/windows-qt.sh,
# which builds them from Debian's sources once per machine (about 25
# minutes) and keeps them in ~/.cache/qav-nuva/. Packs both programs with a
# README.txt for Windows users and the licence as
# build-windows/qav-nuva-<version>-win64.zip.
# Targets named are built beside the programs, in the same run (for
# example qav_core_tests and qav_gui_tests, which scripts/test-windows.sh
# runs under Wine).
# Usage: scripts/build-windows.sh [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-windows}"
qt="$("$root/scripts/windows-qt.sh")"
# Qt's own toolchain file loads the project's (cmake/mingw-w64-x86_64.cmake,
# as Qt was built with it) and finds this Qt.
toolchain="$qt/lib/cmake/Qt6/qt.toolchain.cmake"
# A build folder made with another toolchain (the one of a build without
# the GUI, or of an older Qt) is configured afresh.
if [ -f "$build/CMakeCache.txt" ] &&
  ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
options=(-G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DQAV_WERROR=ON -DQAV_BUILD_GUI=ON
  -DQAV_BUILD_BENCH=OFF -DCMAKE_TOOLCHAIN_FILE="$toolchain")
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # As in scripts/build.sh: precompiled headers, and any clone's folder.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
cmake -S "$root" -B "$build" "${options[@]}" >/dev/null
targets=(--target qav-nuva --target qav-nuva-cli)
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "${JOBS:-$(nproc)}" "${targets[@]}"

# Nothing but Windows' own DLLs may be needed (those of Windows 10, which
# Qt 6 needs; api-ms-win-* are its API sets).
windows_dlls='kernel32|advapi32|msvcrt|user32|gdi32|ws2_32|setupapi|shell32|ole32|oleaut32|comdlg32|imm32|winmm|uxtheme|dwmapi|version|shlwapi|shcore|userenv|netapi32|wtsapi32|mpr|rpcrt4|comctl32|d3d9|d3d11|d3d12|dxgi|d2d1|dwrite|opengl32|authz|winspool\.drv|api-ms-win-[a-z0-9-]+'
for program in "$build/src/qav-nuva.exe" "$build/cli/qav-nuva-cli.exe"; do
  imports="$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')"
  foreign="$(grep -viE "^($windows_dlls)(\.dll)?$" <<<"$imports" || true)"
  if [ -n "$foreign" ]; then
    echo "build-windows: $(basename "$program") needs DLLs a Windows machine lacks:" $foreign >&2
    exit 1
  fi
done

# The zip: both programs and how to use them.
version="$(sed -n 's/^project(qav_nuva VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
name="qav-nuva-$version-win64"
stage="$build/$name"
rm -rf "$stage" "$build/$name.zip"
mkdir -p "$stage"
for program in "$build/src/qav-nuva.exe" "$build/cli/qav-nuva-cli.exe"; do
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$program")" "$program"
done
# For Windows users, then the README's section on the command-line tool
# from its table of commands (before it: how to build it on Linux) up to
# the next section; Windows line ends, for Notepad.
{
  sed "s/@VERSION@/$version/" "$root/packaging/windows/README.txt"
  awk '/^## The command-line tool/ { on = 1; next } on && /^## / { exit } on && /^\| command/ { table = 1 } table' \
    "$root/README.md"
} | sed 's/$/\r/' >"$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
(cd "$build" && zip -qr "$name.zip" "$name")
echo "$build/$name.zip"
