#include "processing/Summary.h"

#include "processing/InlinedText.h"

#include <algorithm>

namespace parlune {

SummaryBuilder::SummaryBuilder(RunSummary& summary, std::function<bool(std::int32_t)> holds)
    : summary(summary), holds(std::move(holds)) {}

void SummaryBuilder::named(const std::string& member, std::uint32_t offset, std::int32_t number) {
    numbers.Add(number, 1);
    if (!holds(number))
        summary.Missing.push_back({member, offset, number});
}

// The replacements and the references kept are each in member order; the missing references
// are reported in member order too.
void SummaryBuilder::AddMember(const std::string& name, const MapFileSlot& slot) {
    MemberSummary member{name, slot.Replacements.size(), {}};
    std::vector<ReferenceAt> references;
    for (const Replacement& replacement : slot.Replacements)
        references.push_back({replacement.Offset, replacement.Number});
    for (const KeptReference& kept : slot.Kept) {
        ++member.Kept[static_cast<std::size_t>(kept.Reason)];
        references.push_back({kept.Offset, kept.Number});
    }
    std::sort(references.begin(), references.end(),
              [](const ReferenceAt& a, const ReferenceAt& b) { return a.Offset < b.Offset; });
    for (const ReferenceAt& reference : references)
        named(name, reference.Offset, reference.Number);
    summary.Members.push_back(std::move(member));
}

void SummaryBuilder::AddScanned(const std::string& name,
                                const std::vector<ReferenceAt>& references) {
    summary.Scanned.emplace_back(name, references.size());
    for (const ReferenceAt& reference : references)
        named(name, reference.Offset, reference.Number);
}

void SummaryBuilder::AddStrings(const std::vector<TWTSEntry>& entries) {
    NumberTable seen(entries.size());
    for (const TWTSEntry& entry : entries) {
        if (!seen.Add(entry.Id, 1))
            continue; // a later entry of a number is never looked up
        if (numbers.Get(entry.Id) == 0)
            summary.Unused.push_back(entry.Id);
        if (const std::size_t bytes = PlainTextLength(entry.Lines); bytes >= kInlineLimit)
            summary.OverLimit.push_back({entry.Id, bytes});
    }
    std::sort(summary.Unused.begin(), summary.Unused.end());
}

} // namespace parlune
