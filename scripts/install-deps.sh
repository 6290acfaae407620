#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Safe to run again: apt-get skips what is already there.
# --windows installs what the Windows build and its tests under Wine need
# instead (scripts/build-windows.sh, scripts/test-windows.sh).
set -euo pipefail

# ccache keeps what was compiled for the next build, in any clone
# (scripts/build.sh, scripts/build-windows.sh).
linux_packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqcustomplot-dev libqt6opengl6-dev libgl-dev
  qt6-l10n-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev
  fonts-wqy-microhei
  xvfb xauth
  dpkg-dev file desktop-file-utils appstream man-db
)
# The cross compiler with POSIX threads (std::thread), zlib built for it,
# GoogleTest's sources (built by the cross build), Wine to run the result,
# and zip and unzip for the package. For the GUI: Qt's host tools (moc,
# rcc, uic) and dpkg-source, which build Qt for Windows from Debian's
# sources (scripts/windows-qt.sh), icotool for the program's icon, and a
# virtual display for the GUI under Wine.
windows_packages=(
  cmake ninja-build ccache
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
  wine wine64 zip unzip
  qt6-base-dev qt6-base-dev-tools dpkg-dev icoutils xvfb xauth
)

case "${1:-}" in
  "") packages=("${linux_packages[@]}") ;;
  --windows) packages=("${windows_packages[@]}") ;;
  *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
