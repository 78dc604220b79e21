#include "processing/ProcessingError.h"

namespace parlune {

ProcessingError OpenError(const std::string& message, bool protectedMap) {
    if (!protectedMap)
        return ProcessingError(message);
    return ProcessingError(message +
                           " The map is protected; use Parlune on the map before protecting it.");
}

void ThrowReadFailure(const std::string& name) {
    throw ProcessingError("Error reading " + name + " from map!");
}

void ThrowAddFailure(const std::string& name) {
    throw ProcessingError("Error adding " + name + " to map!");
}

void ThrowRemoveFailure(const std::string& name) {
    throw ProcessingError("Error removing " + name + " from map!");
}

void ThrowTooLarge(const std::string& name, std::uint64_t size) {
    throw ProcessingError(name + " is too large (" + std::to_string(size) + " bytes)!");
}

void ThrowInvalidInteger(std::string_view text) {
    throw ProcessingError("'" + std::string(text) + "' ist kein gültiger Integerwert");
}

void ThrowListIndexError(std::size_t index) {
    throw ProcessingError("Listenindex überschreitet das Maximum (" + std::to_string(index) + ")");
}

std::string DisplayText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

} // namespace parlune
