#include "processing/ProcessingError.h"

namespace parlune {

std::string FileDetail(const std::string& path, const std::string& reason) {
    return path + ": " + reason;
}

std::string TextWithDetail(const ProcessingError& failure) {
    const std::string message = failure.what();
    return failure.Detail().empty() ? message : message + " (" + failure.Detail() + ")";
}

ProcessingError OpenError(const std::string& message, bool protectedMap, std::string detail) {
    if (!protectedMap)
        return ProcessingError(message, std::move(detail));
    return ProcessingError(
        message + " The map is protected; use Parlune on the map before protecting it.",
        std::move(detail));
}

void ThrowReadFailure(const std::string& name, std::string detail) {
    throw ProcessingError("Error reading " + name + " from map!", std::move(detail));
}

void ThrowAddFailure(const std::string& name, std::string detail) {
    throw ProcessingError("Error adding " + name + " to map!", std::move(detail));
}

void ThrowRemoveFailure(const std::string& name, std::string detail) {
    throw ProcessingError("Error removing " + name + " from map!", std::move(detail));
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
