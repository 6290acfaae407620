#!/usr/bin/env bash
# Builds Qt (Core, Gui, Widgets, PrintSupport, Test and the windows and
# offscreen platform plugins) and QCustomPlot for 64-bit Windows, static,
# from Debian's own source packages, with the mingw-w64 cross compiler and
# Debian's Qt host tools (moc, rcc, uic of qt6-base-dev, the same version).
# Debian packages no Qt for Windows; its registry serves the sources.
#
# The result goes to a cache folder named by the versions and the options,
# built once per machine and reused after:
#   ${QAV_NUVA_CACHE:-~/.cache/qav-nuva}/qt6-base-<version>-<hash>/
# which holds include/, lib/ (static archives), plugins/ and lib/cmake/ of
# both (about 120 MB). Prints that folder; programs build against it with
# its lib/cmake/Qt6/qt.toolchain.cmake (scripts/build-windows.sh). The
# first build takes about 25 minutes on an idle 2-core machine.
# Usage: scripts/windows-qt.sh   (scripts/install-deps.sh --windows first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="${QAV_NUVA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qav-nuva}"
jobs="${JOBS:-$(nproc)}"

# The Qt sources must be the version of the host tools that build them.
qt_version="$(dpkg-query -W -f='${source:Version}' qt6-base-dev 2>/dev/null)" ||
  { echo "windows-qt: qt6-base-dev is needed (scripts/install-deps.sh --windows)" >&2; exit 1; }
plot_version="$(apt-cache show --no-all-versions libqcustomplot-dev 2>/dev/null |
  sed -n 's/^Source: qcustomplot (\(.*\))$/\1/p; s/^Version: //p' | tail -n 1)"
[ -n "$plot_version" ] || { echo "windows-qt: no qcustomplot in the package lists (apt-get update)" >&2; exit 1; }

# Only what the program uses (its pictures are PNGs). OpenGL stays: the
# windows platform plugin of 6.4 does not compile without it. Direct2D
# stays: without it 6.4 leaves out the DirectWrite font code that the
# windows plugin and PrintSupport call. Tablet events go: Debian's sources
# lack wintab.h.
qt_options=(
  -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_vulkan=OFF -DFEATURE_glib=OFF -DFEATURE_icu=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_printsupport=ON -DFEATURE_opengl=ON -DFEATURE_testlib=ON
)
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
# Raised when the way of building changes in a way the options do not show.
recipe=1
key="$( (echo "$recipe $qt_version $plot_version" "${qt_options[@]}"; cat "$toolchain"
  x86_64-w64-mingw32-g++-posix -dumpfullversion) | sha256sum | cut -c1-12)"
prefix="$cache/qt6-base-${qt_version%%+*}-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Everything below is done once. Progress goes to stderr: stdout is the
# folder only.
exec 3>&1 1>&2
work="$cache/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
start=$SECONDS

# A deb-src entry of its own, for the archive and suite the machine's
# qt6-base-dev came from, in an apt configuration of its own: the
# machine's package sources and lists stay as they are.
origin="$(apt-cache policy qt6-base-dev | awk '/^ \*\*\*/ { on = 1; next } on && $2 ~ /^https?:/ { print $2, $3; exit }')"
[ -n "$origin" ] || { echo "windows-qt: cannot tell where qt6-base-dev came from" >&2; exit 1; }
read -r uri suite_component <<<"$origin"
suite="${suite_component%%/*}"
component="${suite_component#*/}"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
echo "deb-src [signed-by=$keyring] $uri $suite $component" >"$work/apt/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o Dir::Etc::SourceParts=-
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o APT::Sandbox::User=root -q)
apt-get "${apt_options[@]}" update
(cd "$work/src" && apt-get "${apt_options[@]}" source "qt6-base=$qt_version" "qcustomplot=$plot_version")
qt_source="$(ls -d "$work"/src/qt6-base-*/ | head -n 1)"
plot_source="$(ls -d "$work"/src/qcustomplot-*/ | head -n 1)"
echo "windows-qt: sources fetched in $((SECONDS - start)) s"

# Qt's own toolchain file (lib/cmake/Qt6/qt.toolchain.cmake, what programs
# built against this Qt use) loads this one by its path: a copy in the
# cache keeps that path valid whatever folder the project is in.
mkdir -p "$prefix"
cp "$toolchain" "$prefix/mingw-w64-x86_64.cmake"
cmake -S "$qt_source" -B "$work/qt" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" >"$work/qt-configure.log" ||
  { tail -n 40 "$work/qt-configure.log"; exit 1; }
echo "windows-qt: Qt configured in $((SECONDS - start)) s; building (about 25 minutes at -j2)"
# One line a minute of progress, not Ninja's thousand.
cmake --build "$work/qt" -j "$jobs" >"$work/qt-build.log" 2>&1 &
builder=$!
while kill -0 "$builder" 2>/dev/null; do
  sleep 60 & wait $! || true
  kill -0 "$builder" 2>/dev/null && echo "windows-qt: $(grep -o '^\[[0-9]*/[0-9]*\]' "$work/qt-build.log" | tail -n 1) after $((SECONDS - start)) s"
done
wait "$builder" || { grep -B 5 -A 20 -m 1 'FAILED' "$work/qt-build.log" || tail -n 40 "$work/qt-build.log"; exit 1; }
cmake --install "$work/qt" >/dev/null
echo "windows-qt: Qt built in $((SECONDS - start)) s"

# QCustomPlot: its one source file, a static library with a CMake package
# of the name Debian's gives it.
mkdir -p "$work/plot"
cat >"$work/plot/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(qcustomplot_win LANGUAGES CXX)
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
set(CMAKE_AUTOMOC ON)
add_library(QCustomPlotQt6 STATIC "$plot_source/qcustomplot.cpp" "$plot_source/qcustomplot.h")
target_link_libraries(QCustomPlotQt6 PUBLIC Qt6::Widgets Qt6::PrintSupport)
target_include_directories(QCustomPlotQt6 INTERFACE \$<INSTALL_INTERFACE:include>)
install(TARGETS QCustomPlotQt6 EXPORT QCustomPlotQt6Targets ARCHIVE DESTINATION lib)
install(FILES "$plot_source/qcustomplot.h" DESTINATION include)
install(EXPORT QCustomPlotQt6Targets NAMESPACE QCustomPlotQt6:: DESTINATION lib/cmake/QCustomPlotQt6)
file(WRITE \${CMAKE_BINARY_DIR}/QCustomPlotQt6Config.cmake
  "include(CMakeFindDependencyMacro)\nfind_dependency(Qt6 COMPONENTS Widgets PrintSupport)\ninclude(\\\${CMAKE_CURRENT_LIST_DIR}/QCustomPlotQt6Targets.cmake)\n")
install(FILES \${CMAKE_BINARY_DIR}/QCustomPlotQt6Config.cmake DESTINATION lib/cmake/QCustomPlotQt6)
EOF
cmake -S "$work/plot" -B "$work/plot/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$work/plot/build" -j "$jobs" >/dev/null
cmake --install "$work/plot/build" >/dev/null
echo "windows-qt: QCustomPlot built; all in $((SECONDS - start)) s"

# The sources and build trees (several GB) go; the installed folder stays.
rm -rf "$work"
echo "qt6-base $qt_version, qcustomplot $plot_version: ${qt_options[*]}" >"$prefix/.complete"
echo "$prefix" >&3
