#!/usr/bin/env bash
# Sets up, builds, and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display to show the window on; start this from a desktop session." >&2
    echo "Without one, the command line does the same work: build/cli/parlune-cli --help" >&2
    exit 1
fi
exec build/ui/parlune
