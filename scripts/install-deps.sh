#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, if any is missing;
# given package names, those instead.
set -euo pipefail

packages=(cmake g++ make pkg-config git clang-format libstorm-dev zlib1g-dev libdeflate-dev libbz2-dev libtomcrypt-dev
          libtommath-dev libgtest-dev libbenchmark-dev qt6-base-dev clang libclang-rt-14-dev xvfb xauth
          librsvg2-bin desktop-file-utils appstream libxml2-utils shared-mime-info man-db dpkg-dev
          lua5.3 liblua5.3-dev nlohmann-json3-dev python3-jsonschema)
[ $# -eq 0 ] || packages=("$@")

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
