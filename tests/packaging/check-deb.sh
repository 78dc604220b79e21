#!/usr/bin/env bash
# check-deb.sh BUILD_DIR: makes the Debian package with CPack and checks that it holds exactly
# what `cmake --install` installs, under the project's version, and that it depends on the
# package of every library the programs link.
set -euo pipefail
build_dir=$(realpath "$1")

fail() { echo "$1" >&2; exit 1; }

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-query objdump ldd; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build_dir" && cpack -G DEB -B "$work/package" >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
deb=$work/package/parlune_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made $(ls "$work/package"), not $(basename "$deb")"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "the package has the wrong version"

DESTDIR=$work/root cmake --install "$build_dir" --prefix /usr >/dev/null
diff -u <(cd "$work/root" && find . -mindepth 1 | sort) \
    <(dpkg-deb --contents "$deb" | awk '$6 != "./" {sub("/$", "", $6); print $6}' | sort)

# Each library a program links directly must come from a package the package depends on.
depends=$(dpkg-deb --field "$deb" Depends | tr ',|' '\n' | awk '{print $1}')
for program in "$work"/root/usr/bin/*; do
    for library in $(objdump -p "$program" | awk '$1 == "NEEDED" {print $2}'); do
        path=$(ldd "$program" | awk -v lib="$library" '$1 == lib {print $3}')
        [ -n "$path" ] || fail "$program: $library is not found"
        path=$(realpath "$path")
        # dpkg knows the libraries of the merged /usr under either name.
        owner=$(dpkg-query -S "$path" 2>/dev/null || dpkg-query -S "${path#/usr}") ||
            fail "no package owns $path"
        package=${owner%%:*}
        grep -qx "$package" <<<"$depends" || fail "$(basename "$program") links $library of \
$package, which the package does not depend on"
    done
done
