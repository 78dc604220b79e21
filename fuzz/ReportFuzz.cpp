// Contract: the report of any run state is valid JSON, in UTF-8, that parses back into an object
// with every field of schema 1, whatever bytes the paths and member names hold.
//
// Input: parts separated by "|~|": the source path, the target path, the error (empty: none),
// then member names; the bytes of the last part give the counts and numbers.

#include "cli/Report.h"
#include "fuzz/FuzzSupport.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// Fills the summary with members named by names and numbers drawn from the bytes.
void fillSummary(parlune::RunSummary& summary, const std::vector<std::string>& names,
                 std::string_view bytes) {
    std::size_t next = 0;
    const auto draw = [&] {
        const unsigned char byte =
            bytes.empty() ? 0 : static_cast<unsigned char>(bytes[next++ % bytes.size()]);
        return static_cast<std::int32_t>(byte) * 40503 - 3000000;
    };
    summary.StringsBefore = names.size();
    if (!bytes.empty() && bytes[0] % 2 == 0)
        summary.StringsAfter = bytes.size();
    for (const std::string& name : names) {
        parlune::MemberSummary member{name, static_cast<std::size_t>(draw() & 0xFFFF), {}};
        for (std::size_t& kept : member.Kept)
            kept = static_cast<std::size_t>(draw() & 0xFF);
        summary.Members.push_back(member);
        summary.Scanned.emplace_back(name, static_cast<std::size_t>(draw() & 0xFF));
        summary.Missing.push_back({name, static_cast<std::uint32_t>(draw()), draw()});
        summary.Unused.push_back(draw());
        summary.OverLimit.push_back({draw(), 1024 + static_cast<std::size_t>(draw() & 0xFFFF)});
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> split =
        parlune::fuzz::SplitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> parts(split.begin(), split.end());
    parts.resize(std::max<std::size_t>(parts.size(), 5));
    parlune::RunState state;
    state.SourcePath = parts[0];
    state.TargetPath = parts[1];
    const std::vector<std::string> names(parts.begin() + 3, parts.end() - 1);
    fillSummary(state.Summary, names, parts.back());
    parlune::RunOutcome outcome{size % 2 == 1, std::nullopt, static_cast<double>(size)};
    if (!parts[2].empty())
        outcome.error = parts[2];

    const std::string text = parlune::ReportText(parlune::RunReport(state, outcome));
    const nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object())
        std::abort();
    for (const char* field :
         {"program", "schema", "source", "target", "outcome", "error", "strings", "members",
          "scanned", "missing", "unused", "over_limit", "bytes", "seconds"})
        if (!parsed.contains(field))
            std::abort();
    if (parsed["members"].size() != names.size() ||
        parsed["outcome"] != (outcome.error ? "failed" : "done"))
        std::abort();
    return 0;
}
