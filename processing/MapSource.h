#pragma once

// Where a run reads a map from: a map archive, or a folder that holds a map's files, as map
// editors save a map as a folder and build pipelines keep it in version control.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// The largest member a run reads. Real members stay far below it; a larger declared size
// means a damaged or hostile map, and reading it would only exhaust memory.
inline constexpr std::uint64_t kMaxMemberSize = 256u * 1024 * 1024;

class MapSource {
public:
    virtual ~MapSource() = default;

    // Replaces data with the whole member as stored for locale (0: neutral). False when the
    // map has no such member (data is then left as it was). Raises ProcessingError for
    // damaged or oversized members.
    virtual bool ReadMember(std::string_view name, std::string& data, std::uint16_t locale = 0) = 0;
    // The locales other than neutral under which the map holds name, ascending.
    virtual std::vector<std::uint16_t> Locales(std::string_view name) = 0;
    // The names of the map's members that the map lists, in its order.
    virtual std::vector<std::string> ListedNames() = 0;
};

// Whether the map at path is kept as a folder.
bool IsMapFolder(const std::string& path);

// Opens the map at path, a map file or a folder. Raises "Error opening map file!" when it
// cannot be read as a map.
std::unique_ptr<MapSource> OpenMapSource(const std::string& path);

} // namespace parlune
