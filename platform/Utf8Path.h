#pragma once

// Paths are UTF-8 text everywhere in the program. They become the system's own form only where
// a file is opened or looked at: on Windows UTF-16, elsewhere the same bytes.

#include <filesystem>
#include <string>
#include <string_view>

namespace parlune {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace parlune
