#!/usr/bin/env bash
# Builds the Debian package from the build, as scripts/package.sh does, and
# checks it: its dependencies come from the libraries the programs link, it
# holds exactly the installed files, and the programs unpacked from it run.
# Lintian, where installed, finds nothing worse than information.
# Usage: deb-test.sh BUILD_DIR VERSION APP_ID LICENSE CONTACT
set -euo pipefail
build=$1
version=$2
app=$3
contact=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || {
    cat "$scratch/cpack.log" >&2
    fail "cpack"
}
deb=$(ls "$scratch"/out/qav-nuva_"$version"_*.deb)

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqcustomplot2.1-qt6; do
    case ", $depends," in *", $lib "* | *", $lib,"*) ;; *) fail "Depends lacks $lib: $depends" ;; esac
done
# The plots draw with QCustomPlot; Qt Charts cannot be built for Windows.
case "$depends" in *libqt6charts*) fail "Depends names Qt Charts: $depends" ;; esac
[ "$(dpkg-deb -f "$deb" Package)" = qav-nuva ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "$contact" ] || fail "maintainer: $(dpkg-deb -f "$deb" Maintainer)"

expected="./usr/bin/qav-nuva
./usr/bin/qav-nuva-cli
./usr/bin/qav-nuva-sim
./usr/share/applications/$app.desktop
./usr/share/bash-completion/completions/qav-nuva-cli
./usr/share/doc/qav-nuva/changelog.gz
./usr/share/doc/qav-nuva/copyright
./usr/share/icons/hicolor/16x16/apps/qav-nuva.png
./usr/share/icons/hicolor/32x32/apps/qav-nuva.png
./usr/share/icons/hicolor/48x48/apps/qav-nuva.png
./usr/share/icons/hicolor/64x64/apps/qav-nuva.png
./usr/share/icons/hicolor/128x128/apps/qav-nuva.png
./usr/share/icons/hicolor/256x256/apps/qav-nuva.png
./usr/share/icons/hicolor/scalable/apps/qav-nuva.svg
./usr/share/man/man1/qav-nuva-cli.1.gz
./usr/share/man/man1/qav-nuva-sim.1.gz
./usr/share/man/man1/qav-nuva.1.gz
./usr/share/metainfo/$app.metainfo.xml"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$files" = "$(printf '%s\n' "$expected" | sort)" ] || fail "contents differ: $files"

if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 || {
        cat "$scratch/lintian.log" >&2
        fail "lintian"
    }
fi

root=$scratch/root
dpkg-deb -x "$deb" "$root"
export HOME=$scratch/home QAV_NUVA_PORTS_DIR=$scratch/ports
mkdir -p "$HOME" "$QAV_NUVA_PORTS_DIR"
for program in qav-nuva qav-nuva-cli qav-nuva-sim; do
    file "$root/usr/bin/$program" | grep >/dev/null ", stripped" || fail "$program is not stripped"
done
[ "$("$root/usr/bin/qav-nuva" --version)" = "qav-nuva $version" ] || fail "qav-nuva --version"
"$root/usr/bin/qav-nuva-cli" ports >/dev/null || fail "qav-nuva-cli ports"
"$root/usr/bin/qav-nuva-sim" --help >/dev/null || fail "qav-nuva-sim --help"
echo "package test passed: $(basename "$deb")"
