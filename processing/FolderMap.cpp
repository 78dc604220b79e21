#include "processing/FolderMap.h"

#include "platform/Utf8Path.h"
#include "processing/MapMembers.h"
#include "processing/ProcessingError.h"

#include <algorithm>
#include <fstream>

namespace parlune {

namespace fs = std::filesystem;

std::string MemberNameOf(const fs::path& relative) {
    std::string name = Utf8FromPath(relative.generic_u8string());
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

FolderMap::FolderMap(const std::string& path) : path(path) {
    std::error_code error;
    const fs::path folder = PathFromUtf8(path);
    for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_symlink(error) || !entry->is_regular_file(error))
            continue;
        const std::string name = MemberNameOf(entry->path().lexically_relative(folder));
        // A map's members are named without regard to case: two such files would be one.
        if (!namesByKey.emplace(MemberNameKey(name), name).second)
            throw ProcessingError(kOpenMapFailure, FileDetail(path, "two files are named " + name));
        files.emplace(name, entry->path());
    }
    if (error)
        throw ProcessingError(kOpenMapFailure, FileDetail(path, error.message()));
}

bool FolderMap::ReadMember(std::string_view name, std::string& data, std::uint16_t locale) {
    const auto found = namesByKey.find(MemberNameKey(name));
    if (locale != 0 || found == namesByKey.end())
        return false;
    const fs::path& file = files.at(found->second);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (!error && size > kMaxMemberSize)
        ThrowTooLarge(found->second, size);
    std::ifstream in(file, std::ios::binary);
    std::string contents(error ? 0 : size, '\0');
    if (error || !in.read(contents.data(), static_cast<std::streamsize>(contents.size())))
        ThrowReadFailure(found->second, FileDetail(Utf8FromPath(file),
                                                   error ? error.message() : "cannot be read"));
    data = std::move(contents);
    return true;
}

std::vector<std::string> FolderMap::ListedNames() {
    std::vector<std::string> names;
    for (const auto& [name, file] : files)
        names.push_back(name);
    return names;
}

} // namespace parlune
