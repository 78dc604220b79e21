#!/usr/bin/env bash
# Sets up, builds, and runs the program on the example map.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
out=build/Example-inlined.w3x
build/cli/parlune-cli examples/Example.w3x "$out"
echo "Wrote $out"
