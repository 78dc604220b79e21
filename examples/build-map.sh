#!/bin/sh
# Builds a finished map from a map kept as a folder, as a build pipeline does, and fails the
# build when a reference names a string the map lacks or a text is too long for the game.
#
#   examples/build-map.sh src/MyMap dist/MyMap.w3x
#
# PARLUNE_CLI names the program when it is not on the PATH.
set -eu
source=$1
target=$2
report=${target%.*}.report.json
cli=${PARLUNE_CLI:-parlune-cli}

status=0
"$cli" --check --report "$report" "$source" "$target" || status=$?
if [ "$status" -eq 3 ]; then
    # The report says where: each reference to a missing string, each text over the limit.
    sed -n 's/.*"member": "\(.*\)",/missing string in \1/p' "$report" >&2
    echo "$target: strings are missing or too long; see $report" >&2
fi
exit "$status"
