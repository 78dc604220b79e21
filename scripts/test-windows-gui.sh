#!/usr/bin/env bash
# Drives parlune.exe under Wine as a person would, with the keyboard only, on an X server of its
# own: Alt+S and the open dialog choose a copy of examples/Example.w3x, Alt+T and the save dialog
# a new target, Alt+P runs. The run must end with "Everything done." in the log (copied out of
# the window through the clipboard), its lines and the written map must be those of the Linux
# parlune-cli on the same map; Alt+A must show the About box centred over the window, Alt+F4
# must end the program, and parlune.exe MAP must start with MAP chosen as the source.
# Needs scripts/build-windows.sh and the Linux programs (scripts/test-windows.sh makes both).
# With --screenshots DIR it also saves the window at start and after the run into DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-windows}
linux_dir=${LINUX_BUILD_DIR:-build}
shots=""
[ "${1:-}" = "--screenshots" ] && shots=$(realpath "$2")

if [ -z "${PARLUNE_GUI_DISPLAY:-}" ]; then
    exec env PARLUNE_GUI_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

export WINEPREFIX=$PWD/$build_dir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
# A Wine left from runs without this display would show the window on none.
wineserver -w
# With no window manager Wine draws the frames and captions itself.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1

check=$PWD/$build_dir/gui-check
rm -rf "$check"
mkdir -p "$check"
cp examples/Example.w3x "$check/Example.w3x"
windows_path() { "$wine" winepath -w "$1" 2>/dev/null; }

# The one window of that title, once it is there (within the seconds given, 30 by default).
wait_for_window() {
    for _ in $(seq $((${2:-30} * 5))); do
        xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 | grep . && return 0
        sleep 0.2
    done
    echo "no window \"$1\"" >&2
    return 1
}
# Presses keys in the main window until the window of that title opens. Wine now and then
# loses a key that comes just after one of its dialogs has closed, so a key that opened
# nothing within 5 s is pressed again, three times at most.
open_with_keys() {
    for _ in 1 2; do
        xdotool windowfocus --sync "$window" key "$1"
        wait_for_window "$2" 5 2>/dev/null && return 0
    done
    xdotool windowfocus --sync "$window" key "$1"
    wait_for_window "$2"
}
# Until no window of that title is left (30 s at most).
wait_until_gone() {
    for _ in $(seq 150); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    echo "the window \"$1\" stays open" >&2
    return 1
}
# Opens the file dialog of that title with the keys given, types a full file name into it and
# takes it.
choose_file() {
    local dialog
    dialog=$(open_with_keys "$1" "$2")
    shift
    xdotool windowfocus --sync "$dialog" key ctrl+a
    xdotool type --delay 5 "$(windows_path "$2")"
    xdotool key Return
    wait_until_gone "$1"
}
convert=$(command -v convert-im6.q16 || command -v convert)
screenshot() {
    [ -n "$shots" ] || return 0
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xwd -root -silent | "$convert" xwd:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
        "$shots/$1"
}
# The log's text, selected and copied with the keyboard.
copy_log() {
    xdotool windowfocus --sync "$window"
    xdotool mousemove --window "$window" 100 100 click 1 key ctrl+Home ctrl+shift+End ctrl+c ctrl+End
    sleep 0.3
    xclip -o -selection clipboard 2>/dev/null | tr -d '\r'
}

milliseconds() { echo $(($(date +%s%N) / 1000000)); }
start=$(milliseconds)
"$wine" "$build_dir/bin/parlune.exe" &
program=$!
trap 'kill "$program" 2>/dev/null || true' EXIT
window=$(wait_for_window "Parlune 1.0.2")
sleep 1
screenshot windows-window-start.png

choose_file alt+s Open "$check/Example.w3x"
choose_file alt+t "Save As" "$check/Target.w3x"
# Alt+P again while the log still ends with the target's line after 5 s (a lost key).
xdotool windowfocus --sync "$window" key alt+p
for attempt in $(seq 300); do
    if [ "$attempt" -eq 25 ] && [ ! -e "$check/Target.w3x" ] &&
        copy_log | tail -n 1 | grep -q "as target file\$"; then
        xdotool windowfocus --sync "$window" key alt+p
    fi
    [ -e "$check/Target.w3x" ] && [ "$(xdotool getwindowname "$window")" = "Parlune 1.0.2" ] &&
        copy_log | tail -n 1 | grep -qx "Everything done." && break
    sleep 0.2
done
screenshot windows-window-after-run.png

# The window's log is its two selection lines, then the lines that the command line prints.
failures=0
linux_cli=$PWD/$linux_dir/cli/parlune-cli
(cd "$check" && "$linux_cli" Example.w3x Linux.w3x >linux.log)
{
    echo "Selected \"$(windows_path "$check/Example.w3x")\" as source file"
    echo "Selected \"$(windows_path "$check/Target.w3x")\" as target file"
    cat "$check/linux.log"
} >"$check/expected.log"
copy_log >"$check/window.log"
echo >>"$check/window.log" # the log view has no line break after its last line
if cmp -s "$check/expected.log" "$check/window.log" &&
    "$linux_dir/tests/compare-maps" "$check/Linux.w3x" "$check/Target.w3x" >/dev/null; then
    echo "parlune.exe, driven by keys: the same log and map as the Linux parlune-cli"
else
    echo "parlune.exe, driven by keys: not as the Linux parlune-cli"
    diff "$check/expected.log" "$check/window.log" || true
    failures=1
fi

# Alt+A shows the About box, its client area 192 x 104 centred over the window; Enter closes it.
about=$(open_with_keys alt+a AboutForm)
eval "$(xdotool getwindowgeometry --shell "$window")"
main_x=$((X + WIDTH / 2)) main_y=$((Y + HEIGHT / 2))
eval "$(xdotool getwindowgeometry --shell "$about")"
about_x=$((X + WIDTH / 2)) about_y=$((Y + HEIGHT / 2))
frame=$((WIDTH - 192)) # the borders; the caption adds to the height
if [ $frame -le 0 ] || [ $((HEIGHT - 104 - frame)) -le 0 ] || [ $about_x -ne $main_x ] ||
    [ $((about_y - main_y)) -gt 1 ] || [ $((main_y - about_y)) -gt 1 ]; then
    echo "About box ${WIDTH}x${HEIGHT} at $about_x,$about_y, not centred over $main_x,$main_y"
    failures=1
fi
xdotool windowfocus --sync "$about" key Return
wait_until_gone AboutForm || failures=1

# Alt+F4, again after 5 s if the program still runs.
close_program() {
    for attempt in $(seq 50); do
        [ $((attempt % 25)) -ne 1 ] || xdotool windowfocus --sync "$window" key alt+F4 || true
        kill -0 "$program" 2>/dev/null || return 0
        sleep 0.2
    done
    echo "parlune.exe did not end on Alt+F4"
    kill "$program"
    failures=1
}
close_program

# parlune.exe MAP starts with MAP, given by a relative name, chosen as the source.
(cd "$check" && exec "$wine" "$PWD/../bin/parlune.exe" Example.w3x) &
program=$!
window=$(wait_for_window "Parlune 1.0.2")
sleep 1
if [ "$(copy_log)" != "Selected \"$(windows_path "$check/Example.w3x")\" as source file" ]; then
    echo "parlune.exe MAP: not chosen as the source"
    failures=1
fi
close_program

echo "window test $(($(milliseconds) - start)) ms"
exit $failures
