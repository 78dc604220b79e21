#!/usr/bin/env bash
# Sets up, checks the formatting, builds and runs the whole test suite twice: a plain build,
# then one built by clang with AddressSanitizer and UndefinedBehaviorSanitizer, where any
# report fails the run (the presets "default" and "sanitizers", any warning an error); then
# cross-builds the Windows programs and tests them under Wine.
# --quick runs the plain pass only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh

run_suite() {
    (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600)
}

# Any warning in the project's own code fails the test command.
PRESET=default scripts/build.sh -DPARLUNE_WARNINGS_AS_ERRORS=ON
run_suite build

if [ "${1:-}" != "--quick" ]; then
    export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
    PRESET=sanitizers scripts/build.sh -DPARLUNE_WARNINGS_AS_ERRORS=ON
    run_suite build-sanitize

    scripts/test-windows.sh
fi
