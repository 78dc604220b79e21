#pragma once

#include "cli/Options.h"

namespace parlune {

// Runs every map of options.paths into options.outDir under its own name, each in a process of
// its own, options.jobs at once. Each map's log is shown as one block when the map is done,
// its lines prefixed with the map's name when there are several; a last line counts the maps
// done and failed. The report, when asked for, is the array of the maps' reports. Returns the
// exit code: a failed map makes it 1, a problem --check finds 3.
int RunManyMaps(const Options& options);

} // namespace parlune
