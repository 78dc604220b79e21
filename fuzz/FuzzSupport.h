#pragma once

// Shared pieces of the fuzz targets: a silent host for the processing and a scratch file.

#include "processing/MapProcessor.h"

#include <string>

namespace parlune::fuzz {

// Hosts the processing with no output; the options are chosen per input.
class QuietProcessor : public MapProcessor {
public:
    void Log(const std::string&) override {}
    void EnableRunControls(bool) override {}
    bool Verbose() const override { return verbose; }
    bool NoCompact() const override { return noCompact; }

    bool verbose = false;
    bool noCompact = true;
};

// A folder of this process's own under the system's temporary folder, made on first use.
const std::string& ScratchFolder();

// Writes bytes to path, replacing it; aborts when that fails, since nothing can be tested then.
void WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size);

} // namespace parlune::fuzz
