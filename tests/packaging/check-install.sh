#!/usr/bin/env bash
# check-install.sh BUILD_DIR: installs the build into a scratch DESTDIR, checks that exactly the
# expected files are there, and reads each data file with the tool that desktops read it with.
# Any warning fails the check, and so does a missing tool.
set -euo pipefail
build_dir=$1
id=org.parlune.Parlune

fail() { echo "$1" >&2; exit 1; }
# Runs a command and fails if it fails or writes anything to stderr.
quiet() {
    if ! "$@" 2>"$work/err" >/dev/null || [ -s "$work/err" ]; then
        fail "$*: $(cat "$work/err")"
    fi
}

for tool in desktop-file-validate appstreamcli xmllint update-mime-database man; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
DESTDIR=$work/root cmake --install "$build_dir" --prefix /usr >/dev/null
cd "$work/root/usr"

expected="bin/parlune
bin/parlune-cli
share/applications/$id.desktop
share/doc/parlune/report.md
share/doc/parlune/report.schema.json
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/parlune-cli.1
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml"
diff -u <(echo "$expected") <(cd "$work/root" && find . -type f | sed 's|^\./usr/||' | sort)

for size in 48 256; do
    png=share/icons/hicolor/${size}x${size}/apps/$id.png
    # A PNG header holds the width and height as big-endian 32-bit numbers from byte 16 on.
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [ "$width $height" = "$size $size" ] || fail "$png measures ${width}x$height"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
grep -q "<release version=\"$version\"" "share/metainfo/$id.metainfo.xml" ||
    fail "the AppStream release is not $version"
grep -q "^\.TH .* \"Parlune $version\"" share/man/man1/parlune-cli.1 ||
    fail "the man page is not of version $version"

report=$(desktop-file-validate "share/applications/$id.desktop") || fail "$report"
[ -z "$report" ] || fail "$report"
report=$(appstreamcli validate --no-net --strict "share/metainfo/$id.metainfo.xml") ||
    fail "$report"
# The tree check also finds the desktop entry and the icon the metadata names.
report=$(appstreamcli validate-tree --no-net --strict "$work/root/usr") || fail "$report"
quiet xmllint --noout "share/mime/packages/$id.xml"
quiet env MANWIDTH=80 man --warnings -l share/man/man1/parlune-cli.1

# The entry must start an installed program, show an installed icon, and open both kinds of
# map as the types that the MIME package, once compiled, gives their names and their header.
entry=share/applications/$id.desktop
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "bin/$program" ] || fail "the desktop entry starts $program, which is not installed"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "there is no icon $icon"
mkdir -p "$work/mime/packages"
cp "share/mime/packages/$id.xml" "$work/mime/packages/"
quiet env XDG_DATA_DIRS="$work" update-mime-database "$work/mime"
types=" $(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' ') "
for extension in w3m w3x; do
    type=$(sed -n "s/^50:\(.*\):\*\.$extension$/\1/p" "$work/mime/globs2")
    [[ -n $type && $types == *" $type "* ]] ||
        fail "*.$extension is of type '$type', which the desktop entry does not open"
    grep -qa "^\[50:$type\]" "$work/mime/magic" || fail "$type has no magic"
done
