#pragma once

// The failure that ends a run, and every message it carries.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace parlune {

// A failure that ends a run. Its message is shown to the user as it stands, apart from the
// closing period that DisplayText adds.
class ProcessingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr char kOpenMapFailure[] = "Error opening map file!";
inline constexpr char kTableMissingFailure[] = "war3map.wts not found inside map!";
inline constexpr char kCopyFailure[] = "Error copying map file!";
inline constexpr char kOpenForWritingFailure[] = "Error opening map file for writing!";
inline constexpr char kWriteFailure[] = "Error writing map file!";

// The failure to open a map with one of the messages above. A protected map is no broken
// file: its message goes on to say so and what to do instead.
ProcessingError OpenError(const std::string& message, bool protectedMap);

// The failures of one member: its data damaged, stored or removed without success, or over
// the size a run handles.
[[noreturn]] void ThrowReadFailure(const std::string& name);
[[noreturn]] void ThrowAddFailure(const std::string& name);
[[noreturn]] void ThrowRemoveFailure(const std::string& name);
[[noreturn]] void ThrowTooLarge(const std::string& name, std::uint64_t size);

// The failure raised for text that names no integer: "'<text>' ist kein gültiger Integerwert".
[[noreturn]] void ThrowInvalidInteger(std::string_view text);

// The failure raised when a line index runs past the end of a line list.
[[noreturn]] void ThrowListIndexError(std::size_t index);

// The text shown for a failure message: a period is appended when the last byte sorts above
// "." (after a letter or a digit, say); a message ending in ".", "!", ")" or a space is
// shown unchanged.
std::string DisplayText(const std::string& message);

} // namespace parlune
