#pragma once

// The inliner done the plain way, step by step as it is described: every member edited in
// place, the first entry of a number found by a scan from the front, and the retained numbers
// kept as decimal texts in a list searched from the front. It is quadratic; the differential
// test and the benchmarks measure the real inliner against it.

#include "processing/RunState.h"

#include <string>
#include <vector>

namespace parlune::test {

// Inlines into the eight members of state, scans the members that are never rewritten and
// prunes state.Entries, appending every log line to log. Raises ProcessingError for a marker
// without digits or out of range, leaving state as far as it got.
void LiteralInlineStrings(RunState& state, bool verbose, std::vector<std::string>& log);

} // namespace parlune::test
