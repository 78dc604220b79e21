#!/usr/bin/env bash
# Builds the Windows programs and tests (scripts/build-windows.sh) and runs them under Wine:
# the whole test suite, then parlune-cli on examples/Example.w3x and on a copy of it with a
# name in other scripts, whose log and written map must be those of the Linux parlune-cli,
# member by member; then the window, driven by keys (scripts/test-windows-gui.sh). Prints how
# long the build and the runs took.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-windows}
linux_dir=${LINUX_BUILD_DIR:-build}

seconds() { date +%s; }
start=$(seconds)
BUILD_DIR=$build_dir scripts/build-windows.sh
built=$(seconds)

# The Linux programs to compare with.
scripts/install-deps.sh
if [ ! -f "$linux_dir/CMakeCache.txt" ]; then
    cmake --preset default -B "$linux_dir" -DPARLUNE_BUILD_GUI=OFF -DPARLUNE_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$linux_dir" -j "$(nproc)" --target parlune-cli compare-maps >/dev/null

# A Wine of its own, quiet, with no window and no offer to install Mono or Gecko.
export WINEPREFIX=$PWD/$build_dir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    xvfb-run -a "$wine" wineboot --init >/dev/null 2>&1
    wineserver -w
fi
prepared=$(seconds)

"$wine" "$build_dir/bin/parlune_tests.exe" --gtest_brief=1
tested=$(seconds)

# Both programs on the same map; the relative names reach Wine's program as they are. The
# last comparison makes sure that one sees a difference where there is one.
check=$build_dir/cli-check
windows_cli=$PWD/$build_dir/bin/parlune-cli.exe
linux_cli=$PWD/$linux_dir/cli/parlune-cli
compare=$PWD/$linux_dir/tests/compare-maps
same_as_linux() {
    "$linux_cli" "$1" "linux $1" >linux.log &&
        "$wine" "$windows_cli" "$1" "windows $1" >windows.log &&
        cmp linux.log windows.log &&
        "$compare" "linux $1" "windows $1" &&
        ! "$compare" "$1" "windows $1" >/dev/null
}
rm -rf "$check"
mkdir -p "$check"
failures=0
for map in "Example.w3x" "Карта 地图 지도.w3x"; do
    cp examples/Example.w3x "$check/$map"
    if (cd "$check" && same_as_linux "$map"); then
        echo "parlune-cli.exe on $map: the same log and map as on Linux"
    else
        echo "parlune-cli.exe on $map: not as on Linux"
        failures=1
    fi
done
compared=$(seconds)

# The window, driven by keys as a person would.
BUILD_DIR=$build_dir LINUX_BUILD_DIR=$linux_dir scripts/test-windows-gui.sh || failures=1
driven=$(seconds)

echo "build $((built - start)) s, Linux programs and Wine set-up $((prepared - built)) s," \
     "test suite $((tested - prepared)) s, command line $((compared - tested)) s," \
     "window $((driven - compared)) s"
echo "parlune-cli.exe: $(stat -c %s "$build_dir/bin/parlune-cli.exe") bytes" \
     "($(stat -c %s "$build_dir/dist/"*/parlune-cli.exe) stripped, in the zip)"
echo "parlune.exe: $(stat -c %s "$build_dir/bin/parlune.exe") bytes" \
     "($(stat -c %s "$build_dir/dist/"*/parlune.exe) stripped, in the zip)"
exit $failures
