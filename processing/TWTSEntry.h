#pragma once

#include "processing/TextConversion.h"

#include <cstdint>

namespace parlune {

// One trigger string: its number and its text lines, without line ends.
class TWTSEntry {
public:
    std::int32_t Id = 0;
    LineList Lines;
};

} // namespace parlune
