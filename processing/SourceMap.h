#pragma once

#include "archive/Kestmarlapi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// The largest member a run reads. Real members stay far below it; a larger declared size
// means a damaged or hostile map, and reading it would only exhaust memory.
inline constexpr std::uint64_t kMaxMemberSize = 256u * 1024 * 1024;

// The source map, open for reading for the lifetime of this object, with the transfer block
// that every member passes through.
class SourceMap {
public:
    // Raises "Error opening map file!" when path is not an archive that could be opened,
    // followed by advice when the map is protected.
    explicit SourceMap(const std::string& path);

    // Replaces data with the whole member as stored for locale. False when the map has no such
    // entry (data is then left as it was). Raises ProcessingError for damaged or oversized
    // members.
    bool ReadMember(std::string_view name, std::string& data,
                    Kestmarlapi::Locale locale = Kestmarlapi::kNeutralLocale);

    // The locales other than neutral under which the map holds name, ascending.
    std::vector<Kestmarlapi::Locale> Locales(std::string_view name);

    // The names that "(listfile)" lists, in its order; empty when the map has none.
    std::vector<std::string> ListedNames();

    static constexpr std::uint32_t kBlockSize = 65536;

private:
    std::string path;
    Kestmarlapi::ArchiveHandle archive;
    std::unique_ptr<char[]> block;
};

} // namespace parlune
