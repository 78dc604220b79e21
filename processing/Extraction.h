#pragma once

// Reads from the source map what a run works on: the string table and its translations, the
// rewritten members, and the numbers that the references of every other member name. Each
// member is read whole, one at a time; the members that are not rewritten are released as soon
// as their numbers are taken.

#include "processing/RunState.h"

#include <functional>
#include <string>

namespace parlune {

// Called with each line the reading reports, as soon as the member it is about is read.
using ExtractionReport = std::function<void(const std::string& line)>;

// Replaces the extracted parts of state with those of the map at state.SourcePath. Raises
// ProcessingError when the map cannot be opened, has no string table, holds a damaged member or
// a string table with a NUL byte.
void ExtractMembers(RunState& state, const ExtractionReport& report);

} // namespace parlune
