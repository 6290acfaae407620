#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks it as a desktop and
# a shell would find it: every file and nothing else, the validators on the
# desktop entry and the metainfo, man pages without warnings, the shell
# completion, the programs running from there, and the menu entry's command
# starting the GUI in ~/.config/qav-nuva so that its Setting.ini lands there.
# The licence is declared alike everywhere: the metainfo's SPDX ids, the
# machine-readable copyright file, the LICENSE beside the sources.
# Usage: install-test.sh BUILD_DIR VERSION APP_ID LICENSE CONTACT
set -euo pipefail
build=$1
version=$2
app=$3
license=$4
contact=$5
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
    bin/qav-nuva bin/qav-nuva-cli bin/qav-nuva-sim
    share/applications/$app.desktop
    share/metainfo/$app.metainfo.xml
    share/icons/hicolor/16x16/apps/qav-nuva.png
    share/icons/hicolor/32x32/apps/qav-nuva.png
    share/icons/hicolor/48x48/apps/qav-nuva.png
    share/icons/hicolor/64x64/apps/qav-nuva.png
    share/icons/hicolor/128x128/apps/qav-nuva.png
    share/icons/hicolor/256x256/apps/qav-nuva.png
    share/icons/hicolor/scalable/apps/qav-nuva.svg
    share/man/man1/qav-nuva.1.gz share/man/man1/qav-nuva-cli.1.gz share/man/man1/qav-nuva-sim.1.gz
    share/bash-completion/completions/qav-nuva-cli
    share/doc/qav-nuva/copyright share/doc/qav-nuva/changelog.gz
)
for f in "${expected[@]}"; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done
extra=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort |
    comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[ -z "$extra" ] || fail "installed but not expected: $extra"
for f in bin/qav-nuva bin/qav-nuva-cli bin/qav-nuva-sim; do
    [ -x "$prefix/$f" ] || fail "$f is not executable"
done

desktop-file-validate "$prefix/share/applications/$app.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" || fail "metainfo"
metainfo=$prefix/share/metainfo/$app.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release"
grep -q "<id>$app</id>" "$metainfo" || fail "metainfo id"
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$metainfo" || fail "metainfo launchable"
grep -q "<project_license>$license</project_license>" "$metainfo" || fail "metainfo project licence"
grep -q "<metadata_license>CC0-1.0</metadata_license>" "$metainfo" || fail "metainfo licence of its own"
grep -q "SPDX-License-Identifier: CC0-1.0" "$metainfo" || fail "metainfo SPDX line"
if grep -n "@[A-Z_]*@\|LicenseRef-\|noreply\|example\.\(com\|org\)" "$metainfo" "$prefix/share/doc/qav-nuva/copyright"; then
    fail "a placeholder is left"
fi

# The copyright file in the machine-readable format: paragraphs of fields,
# a Files paragraph for everything, and every licence it names spelt out
# in a paragraph of its own.
copyright=$prefix/share/doc/qav-nuva/copyright
head -1 "$copyright" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
    fail "copyright format line"
grep -qx "Upstream-Contact: $contact" "$copyright" || fail "copyright contact"
awk -v license="$license" '
    /^$/ { paragraph++; next }
    /^[A-Za-z-]+:/ {
        field = $1; sub(/:$/, "", field); fields[paragraph, field] = 1
        if (field == "Files" && $2 == "*") all = paragraph
        if (field == "License" && $2 != license) { print "unexpected licence " $2; bad = 1 }
        next
    }
    /^ / { if (field == "License") spelt = 1; next }
    { print "stray line: " $0; bad = 1 }
    END {
        if (all == "" || !fields[all, "Copyright"] || !fields[all, "License"]) { print "no Files: * paragraph"; bad = 1 }
        if (!spelt) { print "the licence text is missing"; bad = 1 }
        exit bad
    }' "$copyright" || fail "copyright file"
if [ -f /usr/share/common-licenses/GPL-3 ]; then
    cmp -s "$source/LICENSE" /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the GPL-3 text"
fi
icon=$(sed -n 's/^Icon=//p' "$prefix/share/applications/$app.desktop")
for size in 16 32 48 64 128 256; do
    file "$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png" | grep >/dev/null "PNG image data, $size x $size" ||
        fail "icon $size"
done

for program in qav-nuva qav-nuva-cli qav-nuva-sim; do
    page=$prefix/share/man/man1/$program.1.gz
    zcat "$page" | grep >/dev/null "^\.TH .* \"$program $version\"" || fail "$program.1 names no version $version"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$program.1: $warnings"
done

export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/run QAV_NUVA_PORTS_DIR=$scratch/ports
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$QAV_NUVA_PORTS_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export PATH=$prefix/bin:$PATH

[ "$(qav-nuva --version)" = "qav-nuva $version" ] || fail "qav-nuva --version"
qav-nuva-cli ports >/dev/null || fail "qav-nuva-cli ports"
qav-nuva-sim --help >/dev/null || fail "qav-nuva-sim --help"

# Completion: commands, then the listed port names after --port.
ln -s /dev/null "$QAV_NUVA_PORTS_DIR/COM7"
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _qav_nuva_cli
             printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix/share/bash-completion/completions/qav-nuva-cli" "$@"
}
[ "$(complete_words qav-nuva-cli mo | sort | tr '\n' ' ')" = "monitor motor-off motor-on " ] || fail "completion of commands"
complete_words qav-nuva-cli read --port CO | grep >/dev/null -x COM7 || fail "completion of ports"
[ "$(complete_words qav-nuva-cli monitor --j)" = "--json" ] || fail "completion of options"

# The man pages and the completion know every command and option the
# programs' own help lists (the command-line tool makes both from its
# command table: the page's sections at build time, the words on every Tab).
rendered() { LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/$1.1.gz" 2>/dev/null; }
all_commands=$(complete_words qav-nuva-cli "")
qav-nuva-cli --help | sed -n 's/^  \([a-z][a-z-]*\)\( [a-z][a-z-]*\)\{0,1\}\( .*\)\{0,1\}$/\1\2/p' | sort -u >"$scratch/commands"
[ -s "$scratch/commands" ] || fail "qav-nuva-cli --help lists no command"
while read -r -a command; do
    rendered qav-nuva-cli | grep >/dev/null "^       ${command[*]}\b" || fail "qav-nuva-cli.1 lacks ${command[*]}"
    printf '%s\n' "$all_commands" | grep >/dev/null -x -- "${command[0]}" || fail "completion lacks ${command[0]}"
    # Each option its help lists is completed after it and described in the page.
    for option in $(qav-nuva-cli "${command[@]}" --help | sed -n '/^options:$/,/^$/s/^  \(-[-a-z]*\).*/\1/p'); do
        complete_words qav-nuva-cli "${command[@]}" "" | grep >/dev/null -x -- "$option" ||
            fail "completion of ${command[*]} lacks $option"
        rendered qav-nuva-cli | grep >/dev/null -- "^              $option\b" || fail "qav-nuva-cli.1 lacks $option"
    done
done <"$scratch/commands"
for option in $(qav-nuva-sim --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p'); do
    rendered qav-nuva-sim | grep >/dev/null -- "^       $option\b" || fail "qav-nuva-sim.1 lacks $option"
done
for option in $(qav-nuva --help | grep -o -- '--[a-z-]*' | sort -u); do
    rendered qav-nuva | grep >/dev/null -- "^       $option\b" || fail "qav-nuva.1 lacks $option"
done

# Without a display: one line, exit 1, no core dump.
set +e
out=$(env -i PATH="$PATH" HOME="$HOME" qav-nuva 2>&1)
code=$?
set -e
[ "$code" -eq 1 ] || fail "qav-nuva without a display exits $code"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "qav-nuva without a display says: $out"
case $out in qav-nuva:*DISPLAY*) ;; *) fail "qav-nuva without a display says: $out" ;; esac

# The menu entry's command, as a launcher runs it (no field codes, no
# escapes in it), from somewhere else; the window quits by itself.
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$app.desktop")
case $exec_line in *%* | *\\*) fail "Exec needs a launcher's unescaping: $exec_line" ;; esac
# Only one copy runs per user and network namespace: where allowed, run it in
# a namespace of its own, so that a copy someone else runs cannot answer.
alone=()
if unshare -n true 2>/dev/null; then alone=(unshare -n); fi
cd /
env QT_QPA_PLATFORM=offscreen QAV_NUVA_SCREENSHOT="$scratch/shot.png" \
    timeout 60 "${alone[@]}" sh -c "$exec_line" || fail "menu command"
[ -f "$HOME/.config/qav-nuva/Setting.ini" ] || fail "Setting.ini is not in ~/.config/qav-nuva"
grep -qi '^\[Setting\]' "$HOME/.config/qav-nuva/Setting.ini" || fail "Setting.ini content"
echo "install test passed"
