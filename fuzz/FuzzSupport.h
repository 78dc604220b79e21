#pragma once

// Shared pieces of the fuzz targets: a silent host for the processing and a scratch file.

#include "tests/support/QuietProcessor.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlune::fuzz {

using test::QuietProcessor;

// A folder of this process's own under the system's temporary folder, made on first use.
const std::string& ScratchFolder();

// The parts of a fuzz input that holds several, each after a "|~|".
std::vector<std::string_view> SplitParts(std::string_view input);

// Writes bytes to path, replacing it; aborts when that fails, since nothing can be tested then.
void WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size);

} // namespace parlune::fuzz
