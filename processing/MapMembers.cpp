#include "processing/MapMembers.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace parlune {

namespace {

constexpr std::string_view kLocalesFolder = "_Locales\\";
constexpr std::string_view kLocaleTableEnd = ".w3mod\\war3map.wts";

constexpr std::array<std::string_view, 3> kLibraryMembers = {kListfileName, kAttributesName,
                                                             kSignatureName};
constexpr std::array<std::string_view, 9> kMediaEndings = {".blp", ".tga", ".dds",  ".mdx", ".mdl",
                                                           ".mp3", ".wav", ".flac", ".ogg"};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithName(std::string_view name, std::string_view start) {
    return name.size() >= start.size() && SameMemberName(name.substr(0, start.size()), start);
}

bool endsWithName(std::string_view name, std::string_view end) {
    return name.size() >= end.size() && SameMemberName(name.substr(name.size() - end.size()), end);
}

} // namespace

bool SameMemberName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::string MemberNameKey(std::string_view name) {
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), lowerAscii);
    return key;
}

std::string LocaleFolderTableName(std::string_view code) {
    return std::string(kLocalesFolder) + std::string(code) + std::string(kLocaleTableEnd);
}

std::string_view LocaleFolderCode(std::string_view name) {
    if (!startsWithName(name, kLocalesFolder) || !endsWithName(name, kLocaleTableEnd) ||
        name.size() <= kLocalesFolder.size() + kLocaleTableEnd.size())
        return {};
    const std::string_view code = name.substr(
        kLocalesFolder.size(), name.size() - kLocalesFolder.size() - kLocaleTableEnd.size());
    return code.find('\\') == std::string_view::npos ? code : std::string_view();
}

std::vector<std::string> LocaleFolderTableNames(const std::vector<std::string>& listed) {
    std::unordered_map<std::string, std::string> listedByCode; // the first name of each code
    std::vector<std::string> otherCodes;
    for (const std::string& name : listed) {
        const std::string_view code = LocaleFolderCode(name);
        if (!code.empty() && listedByCode.emplace(MemberNameKey(code), name).second)
            otherCodes.push_back(MemberNameKey(code));
    }
    std::vector<std::string> names;
    for (const std::string_view code : kLocaleCodes) {
        const auto found = listedByCode.find(MemberNameKey(code));
        if (found == listedByCode.end()) {
            names.push_back(LocaleFolderTableName(code));
            continue;
        }
        names.push_back(found->second);
        listedByCode.erase(found);
    }
    for (const std::string& code : otherCodes)
        if (const auto found = listedByCode.find(code); found != listedByCode.end())
            names.push_back(found->second);
    return names;
}

std::string LocaleLabel(std::string_view name, std::uint16_t locale) {
    if (locale == 0)
        return std::string(name);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(locale));
    return std::string(name) + " for locale " + digits;
}

std::string MapFileHeader(std::string_view mapName, std::uint32_t players) {
    constexpr std::size_t kHeaderSize = 512;
    std::string header = "HM3W";
    header.append(4, '\0');
    header += mapName.substr(0, kHeaderSize - 32);
    header.push_back('\0');
    header.append(4, '\0'); // flags
    for (int shift = 0; shift < 32; shift += 8)
        header.push_back(static_cast<char>((players >> shift) & 0xFF));
    header.resize(kHeaderSize, '\0');
    return header;
}

bool HoldsNoReferences(std::string_view name) {
    const auto is = [&](std::string_view other) { return SameMemberName(name, other); };
    const auto endsWith = [&](std::string_view end) { return endsWithName(name, end); };
    return std::any_of(kLibraryMembers.begin(), kLibraryMembers.end(), is) ||
           std::any_of(kMediaEndings.begin(), kMediaEndings.end(), endsWith);
}

} // namespace parlune
