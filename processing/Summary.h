#pragma once

// Fills a run's summary from what the inliner decided: per member, what it replaced and what it
// kept and why; the references that name no string; the strings nobody names and those too long
// to be inlined.

#include "processing/NumberTable.h"
#include "processing/RunState.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace parlune {

class SummaryBuilder {
public:
    // holds tells whether the string table has a string of a number.
    SummaryBuilder(RunSummary& summary, std::function<bool(std::int32_t)> holds);

    // A rewritten member, once the inliner has decided its references.
    void AddMember(const std::string& name, const MapFileSlot& slot);
    // A member whose references are only kept.
    void AddScanned(const std::string& name, const std::vector<ReferenceAt>& references);
    // The table as it stood before pruning, once every member has been added.
    void AddStrings(const std::vector<TWTSEntry>& entries);

private:
    void named(const std::string& member, std::uint32_t offset, std::int32_t number);

    RunSummary& summary;
    std::function<bool(std::int32_t)> holds;
    NumberTable numbers;
};

} // namespace parlune
