#include "archive/MemberCheck.h"

#include "archive/ArchiveFormat.h"
#include "archive/MpqCrypto.h"
#include "platform/Utf8Path.h"

#include <bzlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <span>
#include <vector>

namespace parlune::Kestmarlapi {

namespace {

// A block the library reads without overrunning its buffers: known flags only, and a member
// stored without compression takes exactly its size (the library reads the stored size into
// a buffer of the member's size).
bool blockIsSound(const TMPQBlock& block) {
    if ((block.dwFlags & ~MPQ_FILE_VALID_FLAGS) != 0)
        return false;
    return (block.dwFlags & MPQ_FILE_COMPRESS_MASK) != 0 || block.dwCSize == block.dwFSize;
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
    member.position = FileInfo<ULONGLONG>(mpq, SFileMpqHeaderOffset) +
                      FileInfo<ULONGLONG>(file, SFileInfoByteOffset);
    member.flags = FileInfo<DWORD>(file, SFileInfoFlags);
    member.size = FileInfo<DWORD>(file, SFileInfoFileSize);
    member.storedSize = FileInfo<DWORD>(file, SFileInfoCompressedSize);
    member.key = FileInfo<DWORD>(file, SFileInfoEncryptionKey);
    member.sectorSize = FileInfo<DWORD>(mpq, SFileMpqSectorSize);
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

// Whether compaction may copy the member that name opens: its tables must be safe to read.
// Compaction needs the key of every encrypted member, which comes from the member's name;
// without all keys it copies nothing, so an encrypted member opened by its block alone, whose
// key is unknown, is never read.
bool safeToCopy(HANDLE mpq, std::ifstream& raw, const char* name) {
    const LibraryFile file = OpenLibraryFile(mpq, name);
    if (!file)
        return true; // no member there
    const StoredMember member = storedMember(mpq, file.get());
    return (member.encrypted() && member.key == 0) || memberTablesAreSafe(raw, member);
}

} // namespace

// The library silently drops a member whose block lies outside the archive or declares an
// impossible size, and the member then looks absent: a run would prune the strings it refers
// to. It also trips over one block named by two different names when it replaces either.
// True when every block that the hash table names is sound, has one name, and is one the
// library can read.
bool EveryMemberReachable(HANDLE mpq) {
    std::vector<TMPQHash> hashes;
    std::vector<TMPQBlock> blocks;
    if (!ReadLibraryTable(mpq, SFileMpqHashTableSize, SFileMpqHashTable, hashes) ||
        !ReadLibraryTable(mpq, SFileMpqBlockTableSize, SFileMpqBlockTable, blocks))
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

// True when the library can read the member without tripping over its stored form.
bool MemberDataIsSafe(const std::string& path, HANDLE mpq, HANDLE file) {
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
bool InternalMembersAreSafe(const std::string& path, HANDLE mpq) {
    for (const char* name : {kListfileName, kAttributesName}) {
        const LibraryFile file = OpenLibraryFile(mpq, name);
        if (file && !MemberDataIsSafe(path, mpq, file.get()))
            return false;
    }
    return true;
}

// Compaction copies every member, reading the tables of each: every block, and the encrypted
// ones again by the names in "(listfile)", which has passed its checks by now. The library's
// own listing would read unnamed members to guess their kind.
bool EveryMemberIsSafeToCopy(const std::string& path, HANDLE mpq) {
    std::ifstream raw(PathFromUtf8(path), std::ios::binary);
    const DWORD blocks = FileInfo<DWORD>(mpq, SFileMpqBlockTableSize);
    for (DWORD block = 0; block < blocks; ++block)
        if (!safeToCopy(mpq, raw, PseudoName(block).c_str()))
            return false;
    SFILE_FIND_DATA found{};
    const LibraryListing names(SListFileFindFirstFile(mpq, nullptr, "*", &found));
    bool safe = true;
    for (bool more = names != nullptr; more && safe;
         more = SListFileFindNextFile(names.get(), &found))
        safe = safeToCopy(mpq, raw, found.cFileName);
    return safe;
}

} // namespace parlune::Kestmarlapi
