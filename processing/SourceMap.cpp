#include "processing/SourceMap.h"

#include "processing/ProcessingError.h"

namespace parlune {

namespace {

Kestmarlapi::ArchiveHandle openSource(const std::string& path) {
    Kestmarlapi::OpenFailure failure = Kestmarlapi::OpenFailure::NotAnArchive;
    Kestmarlapi::ArchiveHandle archive = Kestmarlapi::SFileOpenArchive(path, &failure);
    if (!archive)
        throw OpenError(kOpenMapFailure, failure == Kestmarlapi::OpenFailure::Protected);
    return archive;
}

} // namespace

SourceMap::SourceMap(const std::string& path)
    : archive(openSource(path)), block(std::make_unique<char[]>(kBlockSize)) {}

bool SourceMap::ReadMember(std::string_view name, std::string& data) {
    const std::string memberName(name);
    const Kestmarlapi::ArchiveFileHandle member =
        Kestmarlapi::SFileOpenFileEx(*archive, memberName);
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
            ThrowReadFailure(memberName);
        if (contents.size() + got > kMaxMemberSize)
            ThrowTooLarge(memberName, contents.size() + got);
        contents.append(block.get(), got);
    } while (got == kBlockSize);
    data = std::move(contents);
    return true;
}

} // namespace parlune
