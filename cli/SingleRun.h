#pragma once

#include "cli/Options.h"

namespace parlune {

// Runs options.paths[0] to options.paths[1] (none on a dry run): the log on stdout, or on
// stderr when the report goes to stdout; a failure's text on stderr; the report where the
// options say. Returns the exit code.
int RunOneMap(const Options& options);

} // namespace parlune
