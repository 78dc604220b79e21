#include "archive/Kestmarlapi.h"

#include "archive/ArchiveFormat.h"
#include "archive/HeaderCheck.h"
#include "archive/LibraryHandles.h"
#include "archive/MpqCrypto.h"
#include "archive/SigningMath.h"
#include "platform/Utf8Path.h"

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
    LibraryArchive library;
    std::string path;
    bool changed = false;
    bool writeFailed = false;
    const CompactProgress* progress = nullptr;

    HANDLE mpq() const { return library.get(); }
};

struct ArchiveFile {
    LibraryFile library;
    bool damaged = false;
};

void ArchiveCloser::operator()(Archive* archive) const {
    delete archive;
}

void ArchiveFileCloser::operator()(ArchiveFile* file) const {
    delete file;
}

namespace {

bool isAttributesName(const std::string& name) {
    return strcasecmp(name.c_str(), kAttributesName) == 0;
}

// The name the library gives the member stored in a block when no name of it is known.
std::string pseudoName(DWORD blockIndex) {
    char name[32];
    std::snprintf(name, sizeof name, "File%08u.xxx", static_cast<unsigned>(blockIndex));
    return name;
}

// Look-ups use the neutral locale; the setting is process-wide, so make sure of it.
void useNeutralLocale() {
    SFileSetLocale(LANG_NEUTRAL);
}

template <typename Value> Value fileInfo(HANDLE handle, SFileInfoClass infoClass) {
    Value value{};
    if (!SFileGetFileInfo(handle, infoClass, &value, sizeof value, nullptr))
        return Value{};
    return value;
}

// The library looks members up in a process-wide locale. This sets it for the look-ups of one
// scope and then back to neutral, which every other look-up expects.
class LocaleScope {
public:
    explicit LocaleScope(Locale locale) { SFileSetLocale(locale); }
    ~LocaleScope() { SFileSetLocale(LANG_NEUTRAL); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
};

// Opens the entry of name stored for locale. For a locale that has none, the library would
// open the neutral entry instead; that is refused here as absent (ERROR_FILE_NOT_FOUND).
LibraryFile openEntry(HANDLE mpq, const std::string& name, Locale locale) {
    LibraryFile file;
    {
        const LocaleScope scope(locale);
        file = OpenLibraryFile(mpq, name.c_str());
    }
    if (file && fileInfo<DWORD>(file.get(), SFileInfoLocale) != locale) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return file;
}

enum class Registration { Absent, Registered, Unusable };

// The library asserts when it replaces or deletes a member whose name it has never seen (an
// archive without a complete "(listfile)"), or one that it knows under another name (two
// names whose hash entries share a block). Opening the member once by name registers the
// name. Unusable when the member is known under another name or cannot be opened although it
// is there: it must then be left alone.
Registration registerName(HANDLE mpq, const std::string& name, Locale locale) {
    const LibraryFile file = openEntry(mpq, name, locale);
    if (!file) // absent, or merely unreadable
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Registration::Absent
                                                      : Registration::Unusable;
    char knownName[MAX_PATH] = {};
    const bool sameName =
        SFileGetFileName(file.get(), knownName) && strcasecmp(knownName, name.c_str()) == 0;
    return sameName ? Registration::Registered : Registration::Unusable;
}

void report(OpenFailure* out, OpenFailure failure) {
    if (out != nullptr)
        *out = failure;
}

// Opens the archive with the library once its header has passed the check. Empty when it did
// not open, with the reason in *failure.
LibraryArchive openChecked(const std::string& path, DWORD openFlags, OpenFailure* failure) {
    if (const auto refusal = HeaderFailure(path)) {
        report(failure, *refusal);
        return nullptr;
    }
    HANDLE mpq = nullptr;
    if (!::SFileOpenArchive(PathFromUtf8(path).c_str(), 0, openFlags, &mpq)) {
        report(failure, OpenFailure::NotAnArchive);
        return nullptr;
    }
    return LibraryArchive(mpq);
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
    DWORD blockIndex = 0;
    { // the member is closed again before it is removed
        const LibraryFile file = OpenLibraryFile(mpq, kAttributesName);
        if (!file)
            return DeleteResult::Absent;
        if (!SFileGetFileInfo(file.get(), SFileInfoFileIndex, &blockIndex, sizeof blockIndex,
                              nullptr))
            return DeleteResult::Failed;
    }
    if (!SFileRemoveFile(mpq, pseudoName(blockIndex).c_str(), 0))
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
    std::ifstream raw(PathFromUtf8(path), std::ios::binary);
    if ((member.flags & MPQ_FILE_SINGLE_UNIT) != 0)
        return sectorIsSafe(raw, member, 0, member.storedSize, member.size, member.key);
    return sectorsAreSafe(raw, member);
}

// The library reads "(listfile)" and "(attributes)" by itself when it opens a map for update.
bool internalMembersAreSafe(const Archive& archive) {
    for (const char* name : {kListfileName, kAttributesName}) {
        const LibraryFile file = OpenLibraryFile(archive.mpq(), name);
        if (file && !memberDataIsSafe(archive.path, archive.mpq(), file.get()))
            return false;
    }
    return true;
}

// Whether compaction may copy the member that name opens: its tables must be safe to read.
// Compaction needs the key of every encrypted member, which comes from the member's name;
// without all keys it copies nothing, so an encrypted member opened by its block alone, whose
// key is unknown, is never read.
bool safeToCopy(const Archive& archive, std::ifstream& raw, const char* name) {
    const LibraryFile file = OpenLibraryFile(archive.mpq(), name);
    if (!file)
        return true; // no member there
    const StoredMember member = storedMember(archive.mpq(), file.get());
    return (member.encrypted() && member.key == 0) || memberTablesAreSafe(raw, member);
}

// Compaction copies every member, reading the tables of each: every block, and the encrypted
// ones again by the names in "(listfile)", which has passed its checks by now. The library's
// own listing would read unnamed members to guess their kind.
bool everyMemberIsSafeToCopy(const Archive& archive) {
    std::ifstream raw(PathFromUtf8(archive.path), std::ios::binary);
    const DWORD blocks = fileInfo<DWORD>(archive.mpq(), SFileMpqBlockTableSize);
    for (DWORD block = 0; block < blocks; ++block)
        if (!safeToCopy(archive, raw, pseudoName(block).c_str()))
            return false;
    SFILE_FIND_DATA found{};
    const LibraryListing names(SListFileFindFirstFile(archive.mpq(), nullptr, "*", &found));
    bool safe = true;
    for (bool more = names != nullptr; more && safe;
         more = SListFileFindNextFile(names.get(), &found))
        safe = safeToCopy(archive, raw, found.cFileName);
    return safe;
}

void WINAPI reportCompaction(void* user, DWORD, ULONGLONG done, ULONGLONG total) {
    const auto* archive = static_cast<const Archive*>(user);
    if (archive->progress && *archive->progress)
        (*archive->progress)(done, total);
}

} // namespace

ArchiveHandle SFileOpenArchive(const std::string& path, OpenFailure* failure) {
    useNeutralLocale();
    // The names in "(listfile)" are not needed for reading, and the library would read that
    // member before it could be checked.
    const DWORD openFlags = MPQ_OPEN_READ_ONLY | MPQ_OPEN_NO_LISTFILE | MPQ_OPEN_NO_ATTRIBUTES;
    LibraryArchive library = openChecked(path, openFlags, failure);
    if (!library)
        return nullptr;
    ArchiveHandle archive(new Archive{std::move(library), path});
    if (!everyMemberReachable(archive->mpq()) || !internalMembersAreSafe(*archive) ||
        !everyMemberIsSafeToCopy(*archive)) {
        report(failure, OpenFailure::NotAnArchive);
        return nullptr;
    }
    return archive;
}

ArchiveFileHandle SFileOpenFileEx(Archive& archive, const std::string& name, Locale locale) {
    LibraryFile file = openEntry(archive.mpq(), name, locale);
    if (!file)
        return nullptr;
    const bool damaged = !memberDataIsSafe(archive.path, archive.mpq(), file.get());
    return ArchiveFileHandle(new ArchiveFile{std::move(file), damaged});
}

std::vector<Locale> MemberLocales(Archive& archive, const std::string& name) {
    std::vector<TMPQHash> hashes;
    std::vector<TMPQBlock> blocks;
    if (!readTable(archive.mpq(), SFileMpqHashTableSize, SFileMpqHashTable, hashes) ||
        !readTable(archive.mpq(), SFileMpqBlockTableSize, SFileMpqBlockTable, blocks))
        return {};
    const std::uint32_t nameA = HashString(name, HashType::NameA);
    const std::uint32_t nameB = HashString(name, HashType::NameB);
    std::vector<Locale> locales;
    for (const TMPQHash& hash : hashes) {
        const DWORD index = hash.dwBlockIndex;
        // The library opens no entry for another platform than the default one.
        if (hash.dwName1 != nameA || hash.dwName2 != nameB || hash.lcLocale == LANG_NEUTRAL ||
            hash.Platform != 0 || index >= blocks.size() ||
            (blocks[index].dwFlags & MPQ_FILE_EXISTS) == 0)
            continue;
        locales.push_back(hash.lcLocale);
    }
    std::sort(locales.begin(), locales.end());
    locales.erase(std::unique(locales.begin(), locales.end()), locales.end());
    return locales;
}

std::uint64_t SFileGetFileSize(ArchiveFile& file) {
    DWORD high = 0;
    const DWORD low = ::SFileGetFileSize(file.library.get(), &high);
    if (low == SFILE_INVALID_SIZE)
        return 0;
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool SFileReadFile(ArchiveFile& file, void* block, std::uint32_t size, std::uint32_t* read) {
    DWORD got = 0;
    if (file.damaged) {
        *read = 0;
        return false;
    }
    const bool ok = ::SFileReadFile(file.library.get(), block, size, &got, nullptr);
    *read = got;
    // A short last block reports "end of file"; only other errors mean damaged data.
    return ok || GetLastError() == ERROR_HANDLE_EOF;
}

ArchiveHandle MpqOpenArchiveForUpdate(const std::string& path, OpenFailure* failure) {
    useNeutralLocale();
    CompleteSigningMath();
    LibraryArchive library = openChecked(path, 0, failure);
    if (!library)
        return nullptr;
    if (const auto refusal = readOnlyReason(library.get())) {
        report(failure, *refusal);
        return nullptr;
    }
    return ArchiveHandle(new Archive{std::move(library), path});
}

bool MpqAddFileFromPieces(Archive& archive, std::uint32_t size, const MemberPieces& pieces,
                          const std::string& name, Locale locale) {
    archive.changed = true;
    if (registerName(archive.mpq(), name, locale) == Registration::Unusable) {
        archive.writeFailed = true;
        return false;
    }
    HANDLE file = nullptr;
    bool ok = SFileCreateFile(archive.mpq(), name.c_str(), 0, size, locale,
                              MPQ_FILE_COMPRESS | MPQ_FILE_REPLACEEXISTING, &file);
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
    // Finishing the file is what closes it.
    if (file != nullptr)
        ok = SFileFinishFile(file) && ok;
    if (!ok)
        archive.writeFailed = true;
    return ok;
}

DeleteResult MpqDeleteFile(Archive& archive, const std::string& name, Locale locale) {
    if (isAttributesName(name))
        return archive.changed ? DeleteResult::Failed : removeAttributes(archive.mpq());
    archive.changed = true;
    // The library removes what a look-up in the set locale finds, which falls back to the
    // neutral entry: only an entry known to be there may be removed.
    switch (registerName(archive.mpq(), name, locale)) {
    case Registration::Absent:
        return DeleteResult::Absent;
    case Registration::Unusable:
        return DeleteResult::Failed;
    case Registration::Registered:
        break;
    }
    const LocaleScope scope(locale);
    return SFileRemoveFile(archive.mpq(), name.c_str(), 0) ? DeleteResult::Deleted
                                                           : DeleteResult::Failed;
}

CompactResult MpqCompactArchive(Archive& archive, const CompactProgress& progress) {
    archive.changed = true;
    // Compaction first writes the pending changes ("(listfile)" and the tables) but ignores
    // whether that worked: on a full disk it would then build a map without "(listfile)" and
    // report success. Write them here, where the result can be checked.
    if (!SFileFlushArchive(archive.mpq())) {
        archive.writeFailed = true;
        return CompactResult::Failed;
    }
    archive.progress = &progress;
    SFileSetCompactCallback(archive.mpq(), reportCompaction, &archive);
    const bool ok = SFileCompactArchive(archive.mpq(), nullptr, false);
    const DWORD error = GetLastError();
    SFileSetCompactCallback(archive.mpq(), nullptr, nullptr);
    archive.progress = nullptr;
    if (ok)
        return CompactResult::Compacted;
    return error == ERROR_UNKNOWN_FILE_NAMES ? CompactResult::NamesUnknown : CompactResult::Failed;
}

bool MpqCloseUpdatedArchive(ArchiveHandle archive) {
    const bool closed = ::SFileCloseArchive(archive->library.release());
    return closed && !archive->writeFailed;
}

} // namespace parlune::Kestmarlapi
