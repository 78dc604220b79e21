#pragma once

#include "processing/MapProcessor.h"

#include <string>

namespace parlune::test {

// Hosts the processing with no output, for benchmarks and fuzz targets; the options are
// chosen per use.
class QuietProcessor : public MapProcessor {
public:
    void Log(const std::string&) override {}
    void EnableRunControls(bool) override {}
    bool Verbose() const override { return verbose; }
    bool NoCompact() const override { return noCompact; }

    bool verbose = false;
    bool noCompact = false;
};

} // namespace parlune::test
