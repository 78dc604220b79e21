// Contract: any bytes as "war3map.wts" may end in a ProcessingError, nothing worse; a table
// that parses is written, and the written table parses again into the same entries.

#include "fuzz/FuzzSupport.h"
#include "processing/ProcessingError.h"

#include <cstdlib>

namespace {

bool sameEntries(const std::vector<parlune::TWTSEntry>& a,
                 const std::vector<parlune::TWTSEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Id != b[i].Id || a[i].Lines != b[i].Lines)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parlune::fuzz::QuietProcessor first;
    first.verbose = size % 2 == 1;
    first.StringTableData.assign(reinterpret_cast<const char*>(data), size);
    try {
        first.LoadStringTable();
        first.ParseStringTable();
    } catch (const parlune::ProcessingError&) {
        return 0;
    }
    first.WriteStringTable();

    parlune::fuzz::QuietProcessor second;
    second.StringTableData = first.StringTableData;
    if (!first.Entries.empty()) {
        second.LoadStringTable();
        second.ParseStringTable();
    }
    if (!sameEntries(first.Entries, second.Entries))
        std::abort();
    return 0;
}
