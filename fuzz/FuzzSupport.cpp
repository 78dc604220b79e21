#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace parlune::fuzz {

const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const auto path =
            std::filesystem::temp_directory_path() / ("parlune-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return folder;
}

void WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
}

std::vector<std::string_view> SplitParts(std::string_view input) {
    constexpr std::string_view kSeparator = "|~|";
    std::vector<std::string_view> parts;
    for (std::size_t at; (at = input.find(kSeparator)) != std::string_view::npos;) {
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + kSeparator.size());
    }
    parts.push_back(input);
    return parts;
}

} // namespace parlune::fuzz
