#!/usr/bin/env bash
# Formats every C++ file of the working tree, untracked ones too, in place with the
# repository's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
# The vendored library keeps its own style.
git ls-files -z --cached --others --exclude-standard '*.cpp' '*.h' ':!third_party/' |
    xargs -0 clang-format -i
