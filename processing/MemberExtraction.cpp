#include "processing/MemberExtraction.h"

namespace parlune {

namespace {

// Closes an open member on every way out of reading it.
class OpenMember {
public:
    explicit OpenMember(Kestmarlapi::ArchiveFileHandle file) : file(file) {}
    ~OpenMember() { Kestmarlapi::SFileCloseFile(file); }
    OpenMember(const OpenMember&) = delete;
    OpenMember& operator=(const OpenMember&) = delete;
    Kestmarlapi::ArchiveFileHandle get() const { return file; }

private:
    Kestmarlapi::ArchiveFileHandle file;
};

} // namespace

SourceMap::SourceMap(const std::string& path) {
    Kestmarlapi::OpenFailure failure = Kestmarlapi::OpenFailure::NotAnArchive;
    if (!Kestmarlapi::SFileOpenArchive(path, &archive, &failure))
        throw OpenError("Error opening map file!", failure);
    block = std::make_unique<char[]>(kBlockSize);
}

SourceMap::~SourceMap() {
    Kestmarlapi::SFileCloseArchive(archive);
}

bool SourceMap::ReadMember(std::string_view name, std::string& data) {
    const std::string memberName(name);
    Kestmarlapi::ArchiveFileHandle handle = nullptr;
    if (!Kestmarlapi::SFileOpenFileEx(archive, memberName, &handle))
        return false;
    OpenMember member(handle);
    const std::uint64_t declaredSize = Kestmarlapi::SFileGetFileSize(member.get());
    if (declaredSize > kMaxMemberSize)
        ThrowTooLarge(memberName, declaredSize);

    // Keep reading while a read fills the whole block: a member whose size is an exact
    // multiple of the block size ends with a read that delivers nothing.
    std::string contents;
    std::uint32_t got = 0;
    do {
        if (!Kestmarlapi::SFileReadFile(member.get(), block.get(), kBlockSize, &got))
            throw ProcessingError("Error reading " + memberName + " from map!");
        if (contents.size() + got > kMaxMemberSize)
            ThrowTooLarge(memberName, contents.size() + got);
        contents.append(block.get(), got);
    } while (got == kBlockSize);
    data = std::move(contents);
    return true;
}

} // namespace parlune
