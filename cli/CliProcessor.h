#pragma once

#include "processing/MapProcessor.h"

namespace parlune {

// Hosts a run on the command line: log lines go to stdout as they are logged; the
// compaction's progress is a single updating line on stderr when stderr is a terminal.
class CliProcessor : public MapProcessor {
public:
    CliProcessor(bool verbose, bool noCompact);

    void Log(const std::string& text) override;
    void EnableRunControls(bool) override {}
    bool Verbose() const override { return verbose; }
    bool NoCompact() const override { return noCompact; }
    void CompactionProgress(std::uint64_t done, std::uint64_t total) override;

private:
    void clearProgressLine();

    bool verbose;
    bool noCompact;
    bool showProgress;
    bool progressShown = false;
};

} // namespace parlune
