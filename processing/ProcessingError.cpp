#include "processing/ProcessingError.h"

namespace parlune {

std::string DisplayText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

} // namespace parlune
