#include "archive/Kestmarlapi.h"

#include "archive/HeaderCheck.h"
#include "archive/MpqCrypto.h"
#include "archive/SigningMath.h"

#include <StormLib.h>
#include <bzlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <strings.h>
#include <vector>

namespace parlune::Kestmarlapi {

struct Archive {
    HANDLE mpq = nullptr;
    std::string path;
    DeleteResult attributesRemoval = DeleteResult::Absent;
    bool writeFailed = false;
    const CompactProgress* progress = nullptr;
};

struct ArchiveFile {
    HANDLE file = nullptr;
    bool damaged = false;
};

namespace {

constexpr const char* kAttributesName = "(attributes)";

bool isAttributesName(const std::string& name) {
    return strcasecmp(name.c_str(), kAttributesName) == 0;
}

// Look-ups use the neutral locale; the setting is process-wide, so make sure of it.
void useNeutralLocale() {
    SFileSetLocale(LANG_NEUTRAL);
}

// The library asserts when it replaces or deletes a member whose name it has never seen (an
// archive without a complete "(listfile)"), or one that it knows under another name (two
// names whose hash entries share a block). Opening the member once by name registers the
// name. False when the member is known under another name or cannot be opened although it
// is there: it must then be left alone.
bool registerName(HANDLE mpq, const std::string& name) {
    HANDLE file = nullptr;
    if (!::SFileOpenFileEx(mpq, name.c_str(), SFILE_OPEN_FROM_MPQ, &file))
        return GetLastError() == ERROR_FILE_NOT_FOUND; // absent, not merely unreadable
    char knownName[MAX_PATH] = {};
    const bool named = SFileGetFileName(file, knownName);
    ::SFileCloseFile(file);
    return named && strcasecmp(knownName, name.c_str()) == 0;
}

void report(OpenFailure* out, OpenFailure failure) {
    if (out != nullptr)
        *out = failure;
}

// Opens the archive with the library once its header has passed the check. Nothing when it
// opened, otherwise why not.
std::optional<OpenFailure> openChecked(const std::string& path, DWORD openFlags, HANDLE* mpq) {
    if (const auto failure = HeaderFailure(path))
        return failure;
    if (!::SFileOpenArchive(path.c_str(), 0, openFlags, mpq))
        return OpenFailure::NotAnArchive;
    return std::nullopt;
}

// Why the library opened the archive read-only, or nothing when it may be written. It opens
// an archive that it finds malformed read-only. Once the header check has passed an archive,
// what the library can still find malformed are header fields that the game ignores (the
// header size, the version, a table said to start inside the header): a protector's work.
std::optional<OpenFailure> readOnlyReason(HANDLE mpq) {
    DWORD flags = 0;
    if (!SFileGetFileInfo(mpq, SFileMpqFlags, &flags, sizeof flags, nullptr))
        return OpenFailure::NotAnArchive;
    if ((flags & MPQ_FLAG_READ_ONLY) == 0)
        return std::nullopt;
    return (flags & MPQ_FLAG_MALFORMED) != 0 ? OpenFailure::Protected : OpenFailure::NotAnArchive;
}

// Removes "(attributes)" through the pseudo-name of its block; by name the library refuses,
// and after any other change it would be rebuilt on close.
DeleteResult removeAttributes(HANDLE mpq) {
    HANDLE file = nullptr;
    if (!::SFileOpenFileEx(mpq, kAttributesName, SFILE_OPEN_FROM_MPQ, &file))
        return DeleteResult::Absent;
    DWORD blockIndex = 0;
    const bool haveIndex =
        SFileGetFileInfo(file, SFileInfoFileIndex, &blockIndex, sizeof blockIndex, nullptr);
    ::SFileCloseFile(file);
    char pseudoName[32];
    std::snprintf(pseudoName, sizeof pseudoName, "File%08u.xxx", static_cast<unsigned>(blockIndex));
    if (!haveIndex || !SFileRemoveFile(mpq, pseudoName, 0))
        return DeleteResult::Failed;
    return DeleteResult::Deleted;
}

template <typename Entry>
bool readTable(HANDLE mpq, SFileInfoClass sizeClass, SFileInfoClass tableClass,
               std::vector<Entry>& table) {
    DWORD count = 0;
    if (!SFileGetFileInfo(mpq, sizeClass, &count, sizeof count, nullptr))
        return false;
    table.resize(count);
    const auto bytes = static_cast<DWORD>(count * sizeof(Entry));
    return count == 0 || SFileGetFileInfo(mpq, tableClass, table.data(), bytes, nullptr);
}

// A block the library reads without overrunning its buffers: known flags only, and a member
// stored without compression takes exactly its size (the library reads the stored size into
// a buffer of the member's size).
bool blockIsSound(const TMPQBlock& block) {
    if ((block.dwFlags & ~MPQ_FILE_VALID_FLAGS) != 0)
        return false;
    return (block.dwFlags & MPQ_FILE_COMPRESS_MASK) != 0 || block.dwCSize == block.dwFSize;
}

// The library silently drops a member whose block lies outside the archive or declares an
// impossible size, and the member then looks absent: a run would prune the strings it refers
// to. It also trips over one block named by two different names when it replaces either.
// True when every block that the hash table names is sound, has one name, and is one the
// library can read.
bool everyMemberReachable(HANDLE mpq) {
    std::vector<TMPQHash> hashes;
    std::vector<TMPQBlock> blocks;
    if (!readTable(mpq, SFileMpqHashTableSize, SFileMpqHashTable, hashes) ||
        !readTable(mpq, SFileMpqBlockTableSize, SFileMpqBlockTable, blocks))
        return false;
    // The name of each named block, as its two name hashes; locales of one name share them.
    std::map<DWORD, std::pair<DWORD, DWORD>> named;
    for (const TMPQHash& hash : hashes) {
        const DWORD index = hash.dwBlockIndex & BLOCK_INDEX_MASK;
        if (index >= blocks.size() || (blocks[index].dwFlags & MPQ_FILE_EXISTS) == 0)
            continue;
        if (!blockIsSound(blocks[index]))
            return false;
        const auto name = std::make_pair(hash.dwName1, hash.dwName2);
        if (!named.emplace(index, name).second && named[index] != name)
            return false;
    }
    DWORD reachable = 0;
    if (!SFileGetFileInfo(mpq, SFileMpqNumberOfFiles, &reachable, sizeof reachable, nullptr))
        return false;
    return reachable >= named.size();
}

template <typename Value> Value fileInfo(HANDLE handle, SFileInfoClass infoClass) {
    Value value{};
    if (!SFileGetFileInfo(handle, infoClass, &value, sizeof value, nullptr))
        return Value{};
    return value;
}

// Where and how a member is stored, as the raw checks below need it.
struct StoredMember {
    std::uint64_t position = 0;
    DWORD flags = 0;
    DWORD size = 0;
    DWORD storedSize = 0;
    DWORD key = 0;
    DWORD sectorSize = 0;

    bool encrypted() const { return (flags & MPQ_FILE_ENCRYPTED) != 0; }
};

StoredMember storedMember(HANDLE mpq, HANDLE file) {
    StoredMember member;
    member.position = fileInfo<ULONGLONG>(mpq, SFileMpqHeaderOffset) +
                      fileInfo<ULONGLONG>(file, SFileInfoByteOffset);
    member.flags = fileInfo<DWORD>(file, SFileInfoFlags);
    member.size = fileInfo<DWORD>(file, SFileInfoFileSize);
    member.storedSize = fileInfo<DWORD>(file, SFileInfoCompressedSize);
    member.key = fileInfo<DWORD>(file, SFileInfoEncryptionKey);
    member.sectorSize = fileInfo<DWORD>(mpq, SFileMpqSectorSize);
    return member;
}

bool readWords(std::ifstream& raw, std::uint64_t position, std::span<std::uint32_t> words) {
    raw.seekg(static_cast<std::streamoff>(position));
    return static_cast<bool>(raw.read(reinterpret_cast<char*>(words.data()),
                                      static_cast<std::streamsize>(words.size_bytes())));
}

// The library's bzip2 stage stops only at the end of the stream or at an error: on a stream
// that ends early, or inflates past the sector, it loops for ever. True when the stream ends.
bool bzip2StreamEnds(const char* data, std::uint32_t length, std::uint32_t plainLength) {
    bz_stream stream{};
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK)
        return false;
    std::vector<char> plain(plainLength);
    stream.next_in = const_cast<char*>(data);
    stream.avail_in = length;
    stream.next_out = plain.data();
    stream.avail_out = plainLength;
    int result = BZ_OK;
    for (;;) {
        const unsigned inputLeft = stream.avail_in;
        const unsigned outputLeft = stream.avail_out;
        result = BZ2_bzDecompress(&stream);
        if (result != BZ_OK || (stream.avail_in == inputLeft && stream.avail_out == outputLeft))
            break;
    }
    BZ2_bzDecompressEnd(&stream);
    return result != BZ_OK; // the stream's end, or an error the library stops at too
}

// Reads a sector as the library decompresses it: decrypted, where the member is encrypted,
// in whole 32-bit words.
bool readSector(std::ifstream& raw, const StoredMember& member, std::uint64_t offset, DWORD key,
                std::vector<char>& sector) {
    raw.seekg(static_cast<std::streamoff>(member.position + offset));
    if (!raw.read(sector.data(), static_cast<std::streamsize>(sector.size())))
        return false;
    if (member.encrypted() && sector.size() >= sizeof(std::uint32_t)) {
        std::vector<std::uint32_t> words(sector.size() / sizeof(std::uint32_t));
        std::memcpy(words.data(), sector.data(), words.size() * sizeof(std::uint32_t));
        DecryptWords(words, key);
        std::memcpy(sector.data(), words.data(), words.size() * sizeof(std::uint32_t));
    }
    return true;
}

// The methods maps compress everything but sounds with. The library's decoders for sounds,
// Huffman and ADPCM, trip over crafted data, and no member read here uses them.
constexpr unsigned kMapMethods =
    MPQ_COMPRESSION_ZLIB | MPQ_COMPRESSION_PKWARE | MPQ_COMPRESSION_BZIP2;

// Whether stored bytes, when shorter than their plain length, begin with a methods byte the
// library can decompress safely. It asserts on LZMA, which this archive format does not have,
// and can hang in its bzip2 stage.
bool compressedBytesAreSafe(const std::vector<char>& stored, std::uint32_t plainLength) {
    if (stored.size() >= plainLength)
        return true; // stored as it is
    const auto methods = static_cast<unsigned char>(stored[0]);
    if (methods == MPQ_COMPRESSION_LZMA || (methods & ~kMapMethods) != 0)
        return false;
    if ((methods & MPQ_COMPRESSION_BZIP2) == 0)
        return true;
    return bzip2StreamEnds(stored.data() + 1, static_cast<std::uint32_t>(stored.size() - 1),
                           plainLength);
}

// A compressed sector begins with a byte naming its methods; an imploded one has none.
bool sectorIsSafe(std::ifstream& raw, const StoredMember& member, std::uint64_t offset,
                  std::uint32_t storedLength, std::uint32_t plainLength, DWORD key) {
    if ((member.flags & MPQ_FILE_COMPRESS) == 0 || storedLength >= plainLength)
        return true;
    std::vector<char> sector(storedLength);
    return readSector(raw, member, offset, key, sector) &&
           compressedBytesAreSafe(sector, plainLength);
}

DWORD sectorCount(const StoredMember& member) {
    return (member.size - 1) / member.sectorSize + 1;
}

// The sector offset table of a member stored in sectors, decrypted: an entry for the start of
// each sector and one for the end of the data, and one for the end of the checksums where the
// member has them. Empty when it cannot be read.
std::vector<std::uint32_t> sectorOffsets(std::ifstream& raw, const StoredMember& member) {
    const bool checksums = (member.flags & MPQ_FILE_SECTOR_CRC) != 0;
    std::vector<std::uint32_t> offsets(sectorCount(member) + (checksums ? 2 : 1));
    if (!readWords(raw, member.position, offsets))
        return {};
    if (member.encrypted())
        DecryptWords(offsets, member.key - 1);
    return offsets;
}

// The library takes the table's length from its first entry, allocates whole entries and reads
// that many bytes, which overruns the buffer when the length is no multiple of four; it reads
// each sector by the distance to the next entry. So the table must be exactly as long as its
// entries, as archive writers make it, the sectors must follow each other inside the member,
// each no longer than a sector, and the checksums must follow them.
bool sectorTableIsSound(const std::vector<std::uint32_t>& offsets, const StoredMember& member) {
    if (offsets.empty() || offsets[0] != offsets.size() * sizeof(std::uint32_t))
        return false;
    const DWORD sectors = sectorCount(member);
    for (DWORD i = 0; i < sectors; ++i)
        if (offsets[i + 1] <= offsets[i] || offsets[i + 1] - offsets[i] > member.sectorSize)
            return false;
    return std::is_sorted(offsets.begin() + sectors, offsets.end()) &&
           offsets.back() <= member.storedSize;
}

// The checksums of a member's sectors, which the library reads when it reads or copies the
// member into a buffer of a checksum for each sector, and decompresses if they are shorter.
// Stored longer, they overrun that buffer.
bool checksumsAreSafe(std::ifstream& raw, const StoredMember& member,
                      const std::vector<std::uint32_t>& offsets) {
    if ((member.flags & MPQ_FILE_SECTOR_CRC) == 0)
        return true;
    const DWORD sectors = sectorCount(member);
    std::vector<char> stored(offsets[sectors + 1] - offsets[sectors]);
    if (stored.size() < sizeof(std::uint32_t) || stored.size() > member.sectorSize)
        return true; // the library leaves such checksums alone
    if (stored.size() > sectors * sizeof(std::uint32_t))
        return false;
    raw.seekg(static_cast<std::streamoff>(member.position + offsets[sectors]));
    return raw.read(stored.data(), static_cast<std::streamsize>(stored.size())) &&
           compressedBytesAreSafe(stored, sectors * sizeof(std::uint32_t));
}

// Whether the library can copy the member in compaction, which reads its sector offset table
// and its checksums but none of its sectors.
bool memberTablesAreSafe(std::ifstream& raw, const StoredMember& member) {
    // The library copies an uncompressed member as it lies, unless it has checksums, which it
    // would look for in a sector table such a member lacks; archive writers never make one.
    if ((member.flags & MPQ_FILE_COMPRESS_MASK) == 0)
        return (member.flags & MPQ_FILE_SECTOR_CRC) == 0;
    if ((member.flags & MPQ_FILE_SINGLE_UNIT) != 0 || member.size == 0)
        return true;
    if (member.sectorSize == 0)
        return false;
    const std::vector<std::uint32_t> offsets = sectorOffsets(raw, member);
    return sectorTableIsSound(offsets, member) && checksumsAreSafe(raw, member, offsets);
}

bool sectorsAreSafe(std::ifstream& raw, const StoredMember& member) {
    const std::vector<std::uint32_t> offsets = sectorOffsets(raw, member);
    if (!sectorTableIsSound(offsets, member) || !checksumsAreSafe(raw, member, offsets))
        return false;
    for (DWORD i = 0; i < sectorCount(member); ++i) {
        const DWORD plainLength = std::min(member.sectorSize, member.size - i * member.sectorSize);
        if (!sectorIsSafe(raw, member, offsets[i], offsets[i + 1] - offsets[i], plainLength,
                          member.key + i))
            return false;
    }
    return true;
}

// True when the library can read the member without tripping over its stored form.
bool memberDataIsSafe(const std::string& path, HANDLE mpq, HANDLE file) {
    const StoredMember member = storedMember(mpq, file);
    if ((member.flags & MPQ_FILE_COMPRESS_MASK) == 0 || member.size == 0)
        return true;
    if (member.sectorSize == 0 || (member.encrypted() && member.key == 0))
        return false;
    std::ifstream raw(path, std::ios::binary);
    if ((member.flags & MPQ_FILE_SINGLE_UNIT) != 0)
        return sectorIsSafe(raw, member, 0, member.storedSize, member.size, member.key);
    return sectorsAreSafe(raw, member);
}

// The library reads "(listfile)" and "(attributes)" by itself when it opens a map for update.
bool internalMembersAreSafe(const Archive& archive) {
    for (const char* name : {"(listfile)", kAttributesName}) {
        HANDLE file = nullptr;
        if (!::SFileOpenFileEx(archive.mpq, name, SFILE_OPEN_FROM_MPQ, &file))
            continue;
        const bool safe = memberDataIsSafe(archive.path, archive.mpq, file);
        ::SFileCloseFile(file);
        if (!safe)
            return false;
    }
    return true;
}

// Whether compaction may copy the member that name opens: its tables must be safe to read.
// Compaction needs the key of every encrypted member, which comes from the member's name;
// without all keys it copies nothing, so an encrypted member opened by its block alone, whose
// key is unknown, is never read.
bool safeToCopy(const Archive& archive, std::ifstream& raw, const char* name) {
    HANDLE file = nullptr;
    if (!::SFileOpenFileEx(archive.mpq, name, SFILE_OPEN_FROM_MPQ, &file))
        return true; // no member there
    const StoredMember member = storedMember(archive.mpq, file);
    ::SFileCloseFile(file);
    return (member.encrypted() && member.key == 0) || memberTablesAreSafe(raw, member);
}

// Compaction copies every member, reading the tables of each: every block, and the encrypted
// ones again by the names in "(listfile)", which has passed its checks by now. The library's
// own listing would read unnamed members to guess their kind.
bool everyMemberIsSafeToCopy(const Archive& archive) {
    std::ifstream raw(archive.path, std::ios::binary);
    const DWORD blocks = fileInfo<DWORD>(archive.mpq, SFileMpqBlockTableSize);
    for (DWORD block = 0; block < blocks; ++block) {
        char pseudoName[32];
        std::snprintf(pseudoName, sizeof pseudoName, "File%08u.xxx", static_cast<unsigned>(block));
        if (!safeToCopy(archive, raw, pseudoName))
            return false;
    }
    SFILE_FIND_DATA found{};
    HANDLE names = SListFileFindFirstFile(archive.mpq, nullptr, "*", &found);
    bool safe = true;
    for (bool more = names != nullptr; more && safe; more = SListFileFindNextFile(names, &found))
        safe = safeToCopy(archive, raw, found.cFileName);
    if (names != nullptr)
        SListFileFindClose(names);
    return safe;
}

void WINAPI reportCompaction(void* user, DWORD, ULONGLONG done, ULONGLONG total) {
    const auto* archive = static_cast<const Archive*>(user);
    if (archive->progress && *archive->progress)
        (*archive->progress)(done, total);
}

} // namespace

bool SFileOpenArchive(const std::string& path, ArchiveHandle* archive, OpenFailure* failure) {
    useNeutralLocale();
    HANDLE mpq = nullptr;
    // The names in "(listfile)" are not needed for reading, and the library would read that
    // member before it could be checked.
    const DWORD openFlags = MPQ_OPEN_READ_ONLY | MPQ_OPEN_NO_LISTFILE | MPQ_OPEN_NO_ATTRIBUTES;
    if (const auto refusal = openChecked(path, openFlags, &mpq)) {
        report(failure, *refusal);
        return false;
    }
    auto* opened = new Archive{mpq, path};
    if (!everyMemberReachable(mpq) || !internalMembersAreSafe(*opened) ||
        !everyMemberIsSafeToCopy(*opened)) {
        SFileCloseArchive(opened);
        report(failure, OpenFailure::NotAnArchive);
        return false;
    }
    *archive = opened;
    return true;
}

bool SFileOpenFileEx(ArchiveHandle archive, const std::string& name, ArchiveFileHandle* file) {
    HANDLE handle = nullptr;
    if (!::SFileOpenFileEx(archive->mpq, name.c_str(), SFILE_OPEN_FROM_MPQ, &handle))
        return false;
    *file = new ArchiveFile{handle, !memberDataIsSafe(archive->path, archive->mpq, handle)};
    return true;
}

std::uint64_t SFileGetFileSize(ArchiveFileHandle file) {
    DWORD high = 0;
    const DWORD low = ::SFileGetFileSize(file->file, &high);
    if (low == SFILE_INVALID_SIZE)
        return 0;
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool SFileReadFile(ArchiveFileHandle file, void* block, std::uint32_t size, std::uint32_t* read) {
    DWORD got = 0;
    if (file->damaged) {
        *read = 0;
        return false;
    }
    const bool ok = ::SFileReadFile(file->file, block, size, &got, nullptr);
    *read = got;
    // A short last block reports "end of file"; only other errors mean damaged data.
    return ok || GetLastError() == ERROR_HANDLE_EOF;
}

void SFileCloseFile(ArchiveFileHandle file) {
    ::SFileCloseFile(file->file);
    delete file;
}

void SFileCloseArchive(ArchiveHandle archive) {
    ::SFileCloseArchive(archive->mpq);
    delete archive;
}

bool MpqOpenArchiveForUpdate(const std::string& path, std::uint32_t flags,
                             std::uint32_t maxFileCount, ArchiveHandle* archive,
                             OpenFailure* failure) {
    // Flag 4 (open an existing archive) is the library's default way of opening; the
    // maximum member count 0 leaves the hash table as it is.
    (void)flags;
    (void)maxFileCount;
    useNeutralLocale();
    CompleteSigningMath();
    HANDLE mpq = nullptr;
    if (const auto refusal = openChecked(path, 0, &mpq)) {
        report(failure, *refusal);
        return false;
    }
    if (const auto refusal = readOnlyReason(mpq)) {
        ::SFileCloseArchive(mpq);
        report(failure, *refusal);
        return false;
    }
    *archive = new Archive{mpq, path, removeAttributes(mpq)};
    return true;
}

bool MpqAddFileFromBufferEx(ArchiveHandle archive, const void* data, std::uint32_t size,
                            const std::string& name, std::uint32_t flags,
                            std::uint32_t compressionType, int compressionLevel) {
    const std::string_view bytes(static_cast<const char*>(data), size);
    return MpqAddFileFromPieces(
        archive, size, [&](const PieceWriter& write) { return write(bytes); }, name, flags,
        compressionType, compressionLevel);
}

bool MpqAddFileFromPieces(ArchiveHandle archive, std::uint32_t size, const MemberPieces& pieces,
                          const std::string& name, std::uint32_t flags,
                          std::uint32_t compressionType, int compressionLevel) {
    // The map writer only ever asks for deflate, which the library calls zlib; the level is
    // fixed inside the library.
    (void)compressionType;
    (void)compressionLevel;
    DWORD fileFlags = 0;
    if (flags & kAddCompress)
        fileFlags |= MPQ_FILE_COMPRESS;
    if (flags & kAddReplaceExisting)
        fileFlags |= MPQ_FILE_REPLACEEXISTING;

    if (!registerName(archive->mpq, name)) {
        archive->writeFailed = true;
        return false;
    }
    HANDLE file = nullptr;
    bool ok = SFileCreateFile(archive->mpq, name.c_str(), 0, size, LANG_NEUTRAL, fileFlags, &file);
    std::uint64_t written = 0;
    const auto write = [&](std::string_view piece) {
        if (piece.empty())
            return true;
        written += piece.size();
        return written <= size &&
               SFileWriteFile(file, piece.data(), static_cast<DWORD>(piece.size()),
                              MPQ_COMPRESSION_ZLIB);
    };
    if (ok)
        ok = pieces(write) && written == size;
    if (file != nullptr)
        ok = SFileFinishFile(file) && ok;
    if (!ok)
        archive->writeFailed = true;
    return ok;
}

DeleteResult MpqDeleteFile(ArchiveHandle archive, const std::string& name) {
    if (isAttributesName(name))
        return archive->attributesRemoval;
    if (!registerName(archive->mpq, name))
        return DeleteResult::Failed;
    if (SFileRemoveFile(archive->mpq, name.c_str(), 0))
        return DeleteResult::Deleted;
    return GetLastError() == ERROR_FILE_NOT_FOUND ? DeleteResult::Absent : DeleteResult::Failed;
}

CompactResult MpqCompactArchive(ArchiveHandle archive, const CompactProgress& progress) {
    // Compaction first writes the pending changes ("(listfile)" and the tables) but ignores
    // whether that worked: on a full disk it would then build a map without "(listfile)" and
    // report success. Write them here, where the result can be checked.
    if (!SFileFlushArchive(archive->mpq)) {
        archive->writeFailed = true;
        return CompactResult::Failed;
    }
    archive->progress = &progress;
    SFileSetCompactCallback(archive->mpq, reportCompaction, archive);
    const bool ok = SFileCompactArchive(archive->mpq, nullptr, false);
    const DWORD error = GetLastError();
    SFileSetCompactCallback(archive->mpq, nullptr, nullptr);
    archive->progress = nullptr;
    if (ok)
        return CompactResult::Compacted;
    return error == ERROR_UNKNOWN_FILE_NAMES ? CompactResult::NamesUnknown : CompactResult::Failed;
}

bool MpqCloseUpdatedArchive(ArchiveHandle archive, std::uint32_t flags) {
    (void)flags;
    const bool closed = ::SFileCloseArchive(archive->mpq);
    const bool ok = closed && !archive->writeFailed;
    delete archive;
    return ok;
}

} // namespace parlune::Kestmarlapi
