#include "cli/SingleRun.h"

#include "cli/CliProcessor.h"
#include "cli/Report.h"
#include "platform/Utf8Path.h"
#include "processing/ProcessingError.h"

#include <chrono>
#include <fstream>

namespace parlune {

namespace {

// Runs the processor and tells how it ended.
RunOutcome runTimed(CliProcessor& processor, bool dryRun) {
    RunOutcome outcome{dryRun, std::nullopt, 0};
    const auto start = std::chrono::steady_clock::now();
    try {
        processor.Run();
    } catch (const ProcessingError& failure) {
        outcome.error = TextWithDetail(failure);
    } catch (const std::exception& failure) {
        outcome.error = failure.what();
    }
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

bool writeReport(const std::string& destination, const std::string& text) {
    if (destination == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0;
    }
    std::ofstream out(PathFromUtf8(destination), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

} // namespace

int RunOneMap(const Options& options) {
    CliProcessor processor(options, options.report == "-" ? stderr : stdout);
    processor.SourcePath = options.paths[0];
    if (options.paths.size() > 1)
        processor.TargetPath = options.paths[1];
    const RunOutcome outcome = runTimed(processor, options.dryRun);
    if (outcome.error)
        std::fputs((DisplayText(*outcome.error) + "\n").c_str(), stderr);
    if (!options.report && !options.check)
        return outcome.error ? kRunFailed : kSuccess;
    const auto report = RunReport(processor, outcome);
    if (options.report && !writeReport(*options.report, ReportText(report))) {
        std::fputs(("Error writing the report! (" + *options.report + ")\n").c_str(), stderr);
        return kRunFailed;
    }
    if (outcome.error)
        return kRunFailed;
    return options.check && ReportHasProblems(report) ? kCheckFailed : kSuccess;
}

} // namespace parlune
