#pragma once

// The trigger-string table "war3map.wts" as bytes, as lines and as entries. It knows nothing of
// the run: what it finds it hands back as data, and the run reports it.

#include "processing/ProcessingError.h"
#include "processing/TWTSEntry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// Splits a table into lines and removes the byte-order mark from the first, when it is there.
// A table holds no NUL byte: one at the first byte leaves no line at all and fails like a list
// index 0; one further on fails with "<name> is damaged: NUL byte at byte <offset>", name being
// the table's name as the log shows it.
LineList SplitTableLines(std::string_view data, std::string_view name);

// What parsing found: the entries in table order, and the failure that stopped it after them.
struct ParsedTable {
    std::vector<TWTSEntry> Entries;
    std::optional<ProcessingError> Failure;
};

// Builds the entries from the lines of a table, moving their text lines out of lines.
ParsedTable ParseTableLines(LineList& lines);

// The table as it is written: the byte-order mark, then for each entry its header, "{", its
// lines, "}" and an empty line, every line ended by CR LF. Empty when there are no entries.
std::string SerialiseTable(const std::vector<TWTSEntry>& entries);

} // namespace parlune
