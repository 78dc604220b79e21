#pragma once

// The report of a run that a build pipeline reads: one JSON object, whatever the run's outcome.
// docs/report.md describes its fields, docs/report.schema.json checks them.

#include "processing/RunState.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace parlune {

// How a run ended, as the report tells it.
struct RunOutcome {
    bool dryRun = false;
    // The failure's text with its detail; nothing when the run was done.
    std::optional<std::string> error;
    double seconds = 0;
};

nlohmann::ordered_json RunReport(const RunState& state, const RunOutcome& outcome);

// The report as text, ending with a line end. Bytes that are not UTF-8 (member names of a
// hostile map, say) are replaced, so that the text is always valid JSON.
std::string ReportText(const nlohmann::ordered_json& report);

// Whether a report lists a reference that names no string, or a string too long to be inlined:
// what a build pipeline's check fails on.
bool ReportHasProblems(const nlohmann::ordered_json& report);

} // namespace parlune
