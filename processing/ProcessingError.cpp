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

ProcessingError OpenError(const std::string& message, Kestmarlapi::OpenFailure failure) {
    if (failure != Kestmarlapi::OpenFailure::Protected)
        return ProcessingError(message);
    return ProcessingError(message +
                           " The map is protected; use Parlune on the map before protecting it.");
}

} // namespace parlune
