#pragma once

// The failure that ends a run, and every message it carries.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace parlune {

// A failure that ends a run. Its message is shown to the user as it stands, apart from the
// closing period that DisplayText adds. A failure that comes from the file system or the
// archive library also says which file and why; the command line shows that after the message,
// the window does not.
class ProcessingError : public std::runtime_error {
public:
    explicit ProcessingError(const std::string& message, std::string detail = {})
        : std::runtime_error(message), detail(std::move(detail)) {}

    // "/maps/out/x.w3x: No such file or directory", or empty.
    const std::string& Detail() const { return detail; }

private:
    std::string detail;
};

// Which file a failure is about and why: "<path>: <reason>".
std::string FileDetail(const std::string& path, const std::string& reason);

// The message followed by its detail in brackets, where it has one: "Error copying map file!
// (/maps/out/x.w3x: No such file or directory)".
std::string TextWithDetail(const ProcessingError& failure);

inline constexpr char kOpenMapFailure[] = "Error opening map file!";
inline constexpr char kTableMissingFailure[] = "war3map.wts not found inside map!";
inline constexpr char kCopyFailure[] = "Error copying map file!";
inline constexpr char kOpenForWritingFailure[] = "Error opening map file for writing!";
inline constexpr char kWriteFailure[] = "Error writing map file!";

// The failure to open a map with one of the messages above. A protected map is no broken
// file: its message goes on to say so and what to do instead.
ProcessingError OpenError(const std::string& message, bool protectedMap, std::string detail = {});

// The failures of one member: its data damaged, stored or removed without success, or over
// the size a run handles.
[[noreturn]] void ThrowReadFailure(const std::string& name, std::string detail = {});
[[noreturn]] void ThrowAddFailure(const std::string& name, std::string detail = {});
[[noreturn]] void ThrowRemoveFailure(const std::string& name, std::string detail = {});
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
