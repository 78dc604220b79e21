#!/usr/bin/env bash
# Fails when clang-format would change any tracked C++ file of ours (the vendored library
# keeps its own style); `scripts/format.sh` applies it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' ':!third_party/' | xargs -0 clang-format --dry-run -Werror
