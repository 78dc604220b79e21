#include "processing/ProcessingError.h"

namespace parlune {

std::string DisplayText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void ThrowTooLarge(const std::string& name, std::uint64_t size) {
    throw ProcessingError(name + " is too large (" + std::to_string(size) + " bytes)!");
}

} // namespace parlune
