#pragma once

#include "cli/Options.h"
#include "processing/MapProcessor.h"

#include <cstdio>

namespace parlune {

// Hosts a run on the command line: log lines go to log (stdout, or stderr when the report
// takes stdout) as they are logged; the compaction's progress is a single updating line on
// stderr when stderr is a terminal.
class CliProcessor : public MapProcessor {
public:
    CliProcessor(const Options& options, std::FILE* log);

    void Log(const std::string& text) override;
    void EnableRunControls(bool) override {}
    bool Verbose() const override { return options.debug; }
    bool NoCompact() const override { return options.noCompact; }
    bool DryRun() const override { return options.dryRun; }
    bool Summarise() const override { return options.report || options.check; }
    bool CopyUnchanged() const override { return options.copyUnchanged; }
    void CompactionProgress(std::uint64_t done, std::uint64_t total) override;

private:
    void clearProgressLine();

    const Options& options;
    std::FILE* log;
    bool showProgress;
    bool progressShown = false;
};

} // namespace parlune
