#!/usr/bin/env bash
# Configures and builds one of the variants of CMakePresets.json: PRESET (default: default)
# into its folder, or into BUILD_DIR when that is set. Extra arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${PRESET:-default}
build_dir=${BUILD_DIR:-}
cmake --preset "$preset" ${build_dir:+-B "$build_dir"} "$@" >/dev/null
if [ -n "$build_dir" ]; then
    cmake --build "$build_dir" -j "$(nproc)"
else
    cmake --build --preset "$preset" -j "$(nproc)"
fi
