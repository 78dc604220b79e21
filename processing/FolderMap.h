#pragma once

#include "processing/MapSource.h"

#include <filesystem>
#include <map>

namespace parlune {

// A map kept as a folder: its files are the members, named by their paths in the folder with
// backslashes, looked up without regard to the case of ASCII letters. Symbolic links are left
// out, so that nothing outside the folder is read. A folder has no locales.
class FolderMap : public MapSource {
public:
    explicit FolderMap(const std::string& path);

    bool ReadMember(std::string_view name, std::string& data, std::uint16_t locale) override;
    std::vector<std::uint16_t> Locales(std::string_view) override { return {}; }
    // Every member, by name.
    std::vector<std::string> ListedNames() override;

    // The file of each member, by its name.
    const std::map<std::string, std::filesystem::path>& Files() const { return files; }

private:
    std::string path;
    std::map<std::string, std::filesystem::path> files;
    std::map<std::string, std::string> namesByKey;
};

// A member's name for a file at relative in a map's folder: the path with backslashes.
std::string MemberNameOf(const std::filesystem::path& relative);

} // namespace parlune
