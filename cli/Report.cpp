#include "cli/Report.h"

#include "Version.h"
#include "platform/Utf8Path.h"

#include <array>
#include <filesystem>
#include <string_view>

namespace parlune {

namespace {

using json = nlohmann::ordered_json;

// The names of KeptReason's values in a report.
constexpr std::array<std::string_view, kKeptReasonCount> kKeptReasonNames = {
    "too_long",     "multi_line_skin", "marker_text",
    "translations", "outside_literal", "script_unchanged"};

json sizeOf(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(path), error);
    return error ? json(nullptr) : json(size);
}

json optionalCount(const std::optional<std::size_t>& count) {
    return count ? json(*count) : json(nullptr);
}

json memberOf(const MemberSummary& member) {
    json kept = json::object();
    for (std::size_t reason = 0; reason < kKeptReasonCount; ++reason)
        kept[std::string(kKeptReasonNames[reason])] = member.Kept[reason];
    return {{"name", member.Name}, {"inlined", member.Inlined}, {"kept", kept}};
}

json summaryLists(const RunSummary& summary) {
    json lists = {{"members", json::array()},
                  {"scanned", json::array()},
                  {"missing", json::array()},
                  {"unused", summary.Unused},
                  {"over_limit", json::array()}};
    for (const MemberSummary& member : summary.Members)
        lists["members"].push_back(memberOf(member));
    for (const auto& [name, references] : summary.Scanned)
        lists["scanned"].push_back({{"name", name}, {"references", references}});
    for (const MissingReference& missing : summary.Missing)
        lists["missing"].push_back(
            {{"member", missing.Member}, {"offset", missing.Offset}, {"number", missing.Number}});
    for (const OverLimitString& text : summary.OverLimit)
        lists["over_limit"].push_back({{"number", text.Number}, {"bytes", text.Bytes}});
    return lists;
}

} // namespace

json RunReport(const RunState& state, const RunOutcome& outcome) {
    const bool written = !outcome.dryRun && !outcome.error;
    json report = {
        {"program", std::string("parlune ") + kVersion},
        {"schema", 1},
        {"source", state.SourcePath},
        {"target", outcome.dryRun ? json(nullptr) : json(state.TargetPath)},
        {"outcome", outcome.error ? "failed" : "done"},
        {"error", outcome.error ? json(*outcome.error) : json(nullptr)},
        {"strings",
         {{"before", optionalCount(state.Summary.StringsBefore)},
          {"after", optionalCount(state.Summary.StringsAfter)}}},
    };
    report.update(summaryLists(state.Summary));
    report["bytes"] = {{"source", sizeOf(state.SourcePath)},
                       {"target", written ? sizeOf(state.TargetPath) : json(nullptr)}};
    report["seconds"] = outcome.seconds;
    return report;
}

std::string ReportText(const json& report) {
    return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool ReportHasProblems(const json& report) {
    return !report.at("missing").empty() || !report.at("over_limit").empty();
}

} // namespace parlune
