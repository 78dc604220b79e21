#pragma once

#include "archive/Kestmarlapi.h"
#include "processing/MapSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// The source map archive, open for reading for the lifetime of this object, with the transfer
// block that every member passes through.
class SourceMap : public MapSource {
public:
    // Raises "Error opening map file!" when path is not an archive that could be opened,
    // followed by advice when the map is protected.
    explicit SourceMap(const std::string& path);

    // Replaces data with the whole member as stored for locale. False when the map has no such
    // entry (data is then left as it was). Raises ProcessingError for damaged or oversized
    // members.
    bool ReadMember(std::string_view name, std::string& data,
                    Kestmarlapi::Locale locale = Kestmarlapi::kNeutralLocale) override;

    // The locales other than neutral under which the map holds name, ascending.
    std::vector<Kestmarlapi::Locale> Locales(std::string_view name) override;

    // The names that "(listfile)" lists, in its order; empty when the map has none.
    std::vector<std::string> ListedNames() override;

    static constexpr std::uint32_t kBlockSize = 65536;

private:
    std::string path;
    Kestmarlapi::ArchiveHandle archive;
    std::unique_ptr<char[]> block;
};

} // namespace parlune
