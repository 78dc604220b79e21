#include "processing/SourceMap.h"

#include "platform/FileSystem.h"
#include "platform/Utf8Path.h"
#include "processing/FolderMap.h"
#include "processing/MapMembers.h"
#include "processing/ProcessingError.h"

#include <algorithm>

namespace parlune {

namespace {

// Why a file that is no map archive could not be opened as one.
std::string whyNoMap(const std::string& path) {
    if (const std::error_code reason = files::ReadFailure(PathFromUtf8(path)))
        return reason.message();
    return "not a map archive, or a damaged one";
}

Kestmarlapi::ArchiveHandle openSource(const std::string& path) {
    Kestmarlapi::OpenFailure failure = Kestmarlapi::OpenFailure::NotAnArchive;
    Kestmarlapi::ArchiveHandle archive = Kestmarlapi::SFileOpenArchive(path, &failure);
    if (archive)
        return archive;
    // A protected map's message says what to do; it is no broken file.
    if (failure == Kestmarlapi::OpenFailure::Protected)
        throw OpenError(kOpenMapFailure, true);
    throw ProcessingError(kOpenMapFailure, FileDetail(path, whyNoMap(path)));
}

} // namespace

bool IsMapFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(PathFromUtf8(path), ignored);
}

std::unique_ptr<MapSource> OpenMapSource(const std::string& path) {
    if (IsMapFolder(path))
        return std::make_unique<FolderMap>(path);
    return std::make_unique<SourceMap>(path);
}

SourceMap::SourceMap(const std::string& path)
    : path(path), archive(openSource(path)), block(std::make_unique<char[]>(kBlockSize)) {}

bool SourceMap::ReadMember(std::string_view name, std::string& data, Kestmarlapi::Locale locale) {
    const std::string memberName(name);
    const Kestmarlapi::ArchiveFileHandle member =
        Kestmarlapi::SFileOpenFileEx(*archive, memberName, locale);
    if (!member)
        return false;
    const std::uint64_t declaredSize = Kestmarlapi::SFileGetFileSize(*member);
    if (declaredSize > kMaxMemberSize)
        ThrowTooLarge(memberName, declaredSize);

    // Keep reading while a read fills the whole block: a member whose size is an exact
    // multiple of the block size ends with a read that delivers nothing.
    std::string contents;
    std::uint32_t got = 0;
    do {
        if (!Kestmarlapi::SFileReadFile(*member, block.get(), kBlockSize, &got))
            ThrowReadFailure(memberName, FileDetail(path, memberName + " holds damaged data"));
        if (contents.size() + got > kMaxMemberSize)
            ThrowTooLarge(memberName, contents.size() + got);
        contents.append(block.get(), got);
    } while (got == kBlockSize);
    data = std::move(contents);
    return true;
}

std::vector<Kestmarlapi::Locale> SourceMap::Locales(std::string_view name) {
    return Kestmarlapi::MemberLocales(*archive, std::string(name));
}

// The library's own reader takes every run of bytes between line ends as a name.
std::vector<std::string> SourceMap::ListedNames() {
    std::string listfile;
    if (!ReadMember(kListfileName, listfile))
        return {};
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < listfile.size()) {
        const std::size_t end = std::min(listfile.find_first_of("\r\n", start), listfile.size());
        if (end > start)
            names.push_back(listfile.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

} // namespace parlune
