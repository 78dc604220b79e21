#pragma once

#include "archive/Kestmarlapi.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace parlune {

// A failure that ends a run. Its message is shown to the user as it stands, apart from the
// closing period that DisplayText adds.
class ProcessingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The failure of a member over the size a run handles.
[[noreturn]] void ThrowTooLarge(const std::string& name, std::uint64_t size);

// The text shown for a failure message: a period is appended when the last byte sorts above
// "." (after a letter or a digit, say); a message ending in ".", "!", ")" or a space is
// shown unchanged.
std::string DisplayText(const std::string& message);

// The failure to open a map with the message given. A protected map is no broken file: its
// message goes on to say so and what to do instead.
ProcessingError OpenError(const std::string& message, Kestmarlapi::OpenFailure failure);

} // namespace parlune
