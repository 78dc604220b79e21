#include "archive/testing/ArchiveBuilder.h"

#include "archive/LibraryHandles.h"
#include "archive/SigningMath.h"
#include "platform/Utf8Path.h"
#include "processing/MapMembers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace parlune::Kestmarlapi {

namespace {

std::uint32_t hashTableSizeFor(const std::vector<MemberSpec>& members) {
    const auto needed = static_cast<std::uint32_t>(members.size() + 8);
    return std::max<std::uint32_t>(needed * 2, 16);
}

void writeHeaderFile(const std::string& path, const std::string& header) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    if (!out)
        throw ArchiveError("cannot write " + path);
}

LibraryArchive createEmpty(const std::string& path, const NewArchiveOptions& options,
                           std::uint32_t maxFiles) {
    SFILE_CREATE_MPQ create{};
    create.cbSize = sizeof create;
    create.dwMpqVersion = MPQ_FORMAT_VERSION_1;
    create.dwFileFlags1 = options.withListfile ? MPQ_FILE_DEFAULT_INTERNAL : 0;
    create.dwFileFlags2 = options.withAttributes ? MPQ_FILE_DEFAULT_INTERNAL : 0;
    create.dwAttrFlags = options.withAttributes ? MPQ_ATTRIBUTE_CRC32 | MPQ_ATTRIBUTE_FILETIME : 0;
    create.dwSectorSize = 0x1000;
    create.dwMaxFileCount = maxFiles;
    std::error_code ignored;
    if (options.header.empty())
        std::filesystem::remove(PathFromUtf8(path), ignored);
    else
        writeHeaderFile(path, options.header);
    HANDLE mpq = nullptr;
    if (!SFileCreateArchive2(PathFromUtf8(path).c_str(), &create, &mpq))
        throw ArchiveError("cannot create archive " + path);
    return LibraryArchive(mpq);
}

DWORD fileFlags(MemberStorage storage) {
    switch (storage) {
    case MemberStorage::Deflated:
    case MemberStorage::Sound:
    case MemberStorage::Bzip2:
    case MemberStorage::PkwareCompressed:
        return MPQ_FILE_COMPRESS;
    case MemberStorage::Imploded:
        return MPQ_FILE_IMPLODE;
    case MemberStorage::Encrypted:
        return MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED;
    case MemberStorage::EncryptedByPosition:
        return MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY;
    case MemberStorage::WithSectorChecksums:
        return MPQ_FILE_COMPRESS | MPQ_FILE_SECTOR_CRC;
    case MemberStorage::SingleUnit:
        return MPQ_FILE_COMPRESS | MPQ_FILE_SINGLE_UNIT;
    case MemberStorage::PlainEncryptedByPosition:
        return MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY;
    case MemberStorage::Plain:
        break;
    }
    return 0;
}

DWORD compression(MemberStorage storage) {
    switch (storage) {
    case MemberStorage::Sound:
        return MPQ_COMPRESSION_HUFFMANN | MPQ_COMPRESSION_ADPCM_MONO;
    case MemberStorage::Bzip2:
        return MPQ_COMPRESSION_BZIP2;
    case MemberStorage::PkwareCompressed:
        return MPQ_COMPRESSION_PKWARE;
    default:
        return MPQ_COMPRESSION_ZLIB;
    }
}

void addMember(HANDLE mpq, const MemberSpec& member) {
    const auto size = static_cast<DWORD>(member.data.size());
    HANDLE file = nullptr;
    bool ok = SFileCreateFile(mpq, member.name.c_str(), 0, size, member.locale,
                              fileFlags(member.storage) | MPQ_FILE_REPLACEEXISTING, &file);
    if (ok && size > 0)
        ok = SFileWriteFile(file, member.data.data(), size, compression(member.storage));
    if (file != nullptr)
        ok = SFileFinishFile(file) && ok;
    if (!ok)
        throw ArchiveError("cannot add " + member.name);
}

} // namespace

void CreateArchive(const std::string& path, const std::vector<MemberSpec>& members,
                   const NewArchiveOptions& options) {
    const std::uint32_t maxFiles =
        options.maxFileCount != 0 ? options.maxFileCount : hashTableSizeFor(members);
    LibraryArchive mpq = createEmpty(path, options, maxFiles);
    for (const MemberSpec& member : members)
        addMember(mpq.get(), member);
    // The library writes "(signature)" as it closes the archive.
    if (options.signWeak) {
        CompleteSigningMath();
        if (!SFileSignArchive(mpq.get(), SIGNATURE_TYPE_WEAK))
            throw ArchiveError("cannot sign " + path);
    }
    if (!::SFileCloseArchive(mpq.release()))
        throw ArchiveError("cannot finish archive " + path);
}

WeakSignature VerifyWeakSignature(const std::string& path) {
    HANDLE mpq = nullptr;
    if (!::SFileOpenArchive(PathFromUtf8(path).c_str(), 0, MPQ_OPEN_READ_ONLY, &mpq))
        throw ArchiveError("cannot open archive " + path);
    const LibraryArchive archive(mpq);
    switch (SFileVerifyArchive(archive.get())) {
    case ERROR_NO_SIGNATURE:
        return WeakSignature::None;
    case ERROR_WEAK_SIGNATURE_OK:
        return WeakSignature::Valid;
    default:
        return WeakSignature::Invalid;
    }
}

std::string MakeMapHeader(const std::string& mapName) {
    return MapFileHeader(mapName, 4);
}

} // namespace parlune::Kestmarlapi
