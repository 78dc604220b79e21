#!/usr/bin/env bash
# Formats every tracked C++ file in place with the repository's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' ':!third_party/' | xargs -0 clang-format -i
