#include "archive/ArchiveRebuild.h"

#include "archive/ArchiveFormat.h"
#include "archive/LibraryHandles.h"
#include "archive/LibraryOpen.h"
#include "archive/MemberCheck.h"
#include "archive/MpqCrypto.h"
#include "archive/SectorCompressor.h"
#include "archive/WeakSignature.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace parlune::Kestmarlapi {

namespace {

// The archive's tables as they lie in the file, decrypted.
struct HashEntry {
    std::uint32_t nameA;
    std::uint32_t nameB;
    std::uint16_t locale;
    std::uint16_t platform;
    std::uint32_t block;
};
struct BlockEntry {
    std::uint32_t offset; // from the archive header
    std::uint32_t storedSize;
    std::uint32_t size;
    std::uint32_t flags;
};
static_assert(sizeof(HashEntry) == sizeof(TMPQHash) && sizeof(BlockEntry) == sizeof(TMPQBlock));

constexpr std::uint32_t kFreeEntry = 0xFFFFFFFF;
constexpr std::uint32_t kSmallestSector = 512;
// The longest "(listfile)" read for the members' names.
constexpr std::uint64_t kMaxListfileSize = 64 << 20;
constexpr std::size_t kCopyChunk = 1 << 20;

std::uint64_t nameKey(std::string_view name) {
    return (std::uint64_t{HashString(name, HashType::NameA)} << 32) |
           HashString(name, HashType::NameB);
}

std::uint64_t nameKey(const HashEntry& entry) {
    return (std::uint64_t{entry.nameA} << 32) | entry.nameB;
}

// An encrypted member's key comes from its name without the folders.
std::uint32_t baseKeyOf(std::string_view name) {
    const std::size_t slash = name.rfind('\\');
    return HashString(slash == std::string_view::npos ? name : name.substr(slash + 1),
                      HashType::FileKey);
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool isLibraryMember(std::string_view name) {
    return sameName(name, kListfileName) || sameName(name, kAttributesName) ||
           sameName(name, kSignatureName);
}

bool positionKeyed(const BlockEntry& block) {
    return (block.flags & MPQ_FILE_ENCRYPTED) != 0 && (block.flags & MPQ_FILE_FIX_KEY) != 0;
}

// The key a member is encrypted with where it lies.
std::uint32_t keyAt(std::uint32_t baseKey, const BlockEntry& block, std::uint32_t offset) {
    return (block.flags & MPQ_FILE_FIX_KEY) != 0 ? (baseKey + offset) ^ block.size : baseKey;
}

std::uint32_t sectorCount(const BlockEntry& block, std::uint32_t sectorSize) {
    return block.size == 0 ? 0 : (block.size - 1) / sectorSize + 1;
}

bool hasSectorTable(const BlockEntry& block) {
    return (block.flags & MPQ_FILE_COMPRESS_MASK) != 0 &&
           (block.flags & MPQ_FILE_SINGLE_UNIT) == 0 && block.size > 0;
}

// The entries of a member's sector offset table: one per sector, one for the end of the data,
// and one for the end of the checksums where the member has them.
std::uint32_t sectorTableEntries(const BlockEntry& block, std::uint32_t sectorSize) {
    return sectorCount(block, sectorSize) + ((block.flags & MPQ_FILE_SECTOR_CRC) != 0 ? 2 : 1);
}

// Whether offsets is a sector offset table the member can have: it starts behind itself, each
// sector follows the one before, no longer than a sector, and all of it lies in the member.
bool soundSectorTable(const std::vector<std::uint32_t>& offsets, const BlockEntry& block,
                      std::uint32_t sectorSize) {
    const std::uint32_t sectors = sectorCount(block, sectorSize);
    if (offsets.size() <= sectors || offsets[0] != offsets.size() * sizeof(std::uint32_t))
        return false;
    for (std::uint32_t i = 0; i < sectors; ++i)
        if (offsets[i + 1] <= offsets[i] || offsets[i + 1] - offsets[i] > sectorSize)
            return false;
    return std::is_sorted(offsets.begin() + sectors, offsets.end()) &&
           offsets.back() <= block.storedSize;
}

// Copies size bytes; an empty table has no storage to name, which memcpy does not allow even
// for nothing.
void copyBytes(void* to, const void* from, std::size_t size) {
    if (size > 0)
        std::memcpy(to, from, size);
}

std::string errnoReason() {
    return errno != 0 ? std::generic_category().message(errno) : "input/output error";
}

// Decrypts the whole words of bytes with one key and encrypts them with another.
void recrypt(char* bytes, std::size_t size, std::uint32_t oldKey, std::uint32_t newKey) {
    std::vector<std::uint32_t> words(size / sizeof(std::uint32_t));
    copyBytes(words.data(), bytes, words.size() * sizeof(std::uint32_t));
    DecryptWords(words, oldKey);
    EncryptWords(words, newKey);
    copyBytes(bytes, words.data(), words.size() * sizeof(std::uint32_t));
}

// A member as the run wrote it.
struct NewMember {
    std::string stored;
    std::uint32_t size = 0;
    std::uint32_t flags = 0;
};

// An empty member has nothing to compress.
NewMember compressedMember(SectorCompressor& compressor, std::uint32_t size) {
    return {compressor.Finish(), size,
            size == 0 ? MPQ_FILE_EXISTS : MPQ_FILE_EXISTS | MPQ_FILE_COMPRESS};
}

// Where one block of the new archive comes from.
struct PlacedBlock {
    std::optional<std::uint32_t> sourceBlock;
    const NewMember* member = nullptr;
    BlockEntry entry{};
};

// The new archive's file, written front to back; the bytes of a signed archive pass its digest.
class Output {
public:
    explicit Output(const std::string& path)
        : file(PathFromUtf8(path), std::ios::binary | std::ios::in | std::ios::out) {}

    bool Put(const char* bytes, std::size_t size) {
        if (digest)
            digest->Add(reinterpret_cast<const unsigned char*>(bytes), size);
        errno = 0;
        file.write(bytes, static_cast<std::streamsize>(size));
        position += size;
        return static_cast<bool>(file);
    }
    template <typename Entry> bool PutTable(std::vector<Entry> table, const char* keyName) {
        std::vector<std::uint32_t> words(table.size() * kTableEntryWords);
        copyBytes(words.data(), table.data(), words.size() * sizeof(std::uint32_t));
        EncryptWords(words, HashString(keyName, HashType::FileKey));
        return Put(reinterpret_cast<const char*>(words.data()),
                   words.size() * sizeof(std::uint32_t));
    }
    bool PutAt(std::uint64_t at, const unsigned char* bytes, std::size_t size) {
        errno = 0;
        file.seekp(static_cast<std::streamoff>(at));
        file.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
        return static_cast<bool>(file);
    }
    bool Close() {
        errno = 0;
        file.close();
        return !file.fail();
    }

    bool Opened() const { return file.is_open(); }
    std::uint64_t Position() const { return position; }
    void Digest(Md5* md5) { digest = md5; }

private:
    std::fstream file;
    std::uint64_t position = 0;
    Md5* digest = nullptr;
};

} // namespace

// The new archive: its blocks in order, its tables and its header.
struct ArchiveRebuild::Layout {
    std::vector<PlacedBlock> placed;
    std::vector<HashEntry> hashes;
    std::vector<BlockEntry> blocks;
    ArchiveHeader header{};
};

struct ArchiveRebuild::Source {
    std::string path;
    std::ifstream raw;
    std::uint64_t fileSize = 0;
    std::uint64_t archiveOffset = 0;
    std::uint16_t sectorShift = 0;
    std::uint32_t sectorSize = 0;
    std::vector<HashEntry> hashes;
    std::vector<BlockEntry> blocks;
    // The number of hash entries that name each block.
    std::vector<std::uint32_t> entriesOfBlock;
    // The key of each position-keyed member without the position, where it is known.
    std::map<std::uint32_t, std::optional<std::uint32_t>> baseKeys;
    std::unordered_map<std::uint64_t, std::string> names;
    // The members the run stored, by their hash entry.
    std::map<std::size_t, NewMember> written;
    bool keepsEverything = false;
    // A map signed weakly is signed again, whatever its signature member held.
    std::optional<std::size_t> signatureEntry;
    std::string failure;

    bool readArchive(HANDLE mpq);
    void survey();
    bool read(std::uint64_t at, char* bytes, std::size_t size);
    bool readNames(HANDLE mpq);
    void findKeys();
    std::optional<std::uint32_t> detectedBaseKey(const BlockEntry& block);

    bool liveEntry(std::size_t index) const;
    std::optional<std::size_t> findEntry(std::string_view name, Locale locale) const;
    std::optional<std::size_t> freeEntry(std::string_view name) const;
    bool shared(std::size_t index) const;

    void writeListfile();
    std::vector<PlacedBlock> placeBlocks(std::vector<HashEntry>& newHashes) const;
    Layout layOut() const;
    bool writeArchive(Output& out, const Layout& layout, Md5& digest, const ProgressCall& progress);
    bool sign(Output& out, const Layout& layout, Md5& digest);
    bool writeBlock(Output& out, const PlacedBlock& placed, const ProgressCall& progress,
                    std::uint64_t total);
    bool copyBlock(Output& out, const BlockEntry& block, std::uint32_t newOffset,
                   const ProgressCall& progress, std::uint64_t total);
    bool rekey(std::string& bytes, const BlockEntry& block, std::uint32_t oldKey,
               std::uint32_t newKey);
    bool fail(const std::string& reason) {
        failure = reason;
        return false;
    }
};

bool ArchiveRebuild::Source::read(std::uint64_t at, char* bytes, std::size_t size) {
    if (at > fileSize || size > fileSize - at)
        return fail("a member lies outside the map");
    errno = 0;
    raw.seekg(static_cast<std::streamoff>(at));
    if (!raw.read(bytes, static_cast<std::streamsize>(size)))
        return fail(errnoReason());
    return true;
}

// The names "(listfile)" gives, by their hashes. The library's own reader takes every run of
// bytes between line ends as a name.
bool ArchiveRebuild::Source::readNames(HANDLE mpq) {
    for (const char* name : {kListfileName, kAttributesName, kSignatureName})
        names.emplace(nameKey(name), name);
    const LibraryFile file = OpenLibraryFile(mpq, kListfileName);
    if (!file)
        return true;
    if (!MemberDataIsSafe(path, mpq, file.get()) ||
        FileInfo<DWORD>(file.get(), SFileInfoFileSize) > kMaxListfileSize)
        return false;
    std::string listfile(FileInfo<DWORD>(file.get(), SFileInfoFileSize), '\0');
    DWORD got = 0;
    if (!listfile.empty() && !::SFileReadFile(file.get(), listfile.data(),
                                              static_cast<DWORD>(listfile.size()), &got, nullptr))
        return false;
    listfile.resize(got);
    std::size_t start = 0;
    while (start < listfile.size()) {
        const std::size_t end = std::min(listfile.find_first_of("\r\n", start), listfile.size());
        if (end > start) {
            const std::string name = listfile.substr(start, end - start);
            names.emplace(nameKey(name), name);
        }
        start = end + 1;
    }
    return true;
}

// The first entry of a compressed member's sector offset table is the table's own length, so
// its key can be found from it; the member's key is one more. A key is taken only when the
// whole table it decrypts is one the member can have.
std::optional<std::uint32_t> ArchiveRebuild::Source::detectedBaseKey(const BlockEntry& block) {
    if (!hasSectorTable(block))
        return std::nullopt;
    std::vector<std::uint32_t> stored(sectorTableEntries(block, sectorSize));
    const auto tableSize = static_cast<std::uint32_t>(stored.size() * sizeof(std::uint32_t));
    if (tableSize > block.storedSize ||
        !read(archiveOffset + block.offset, reinterpret_cast<char*>(stored.data()), tableSize))
        return std::nullopt;
    for (std::uint32_t low = 0; low < 0x100; ++low) {
        const std::uint32_t tableKey =
            (stored[0] ^ tableSize) - (0xEEEEEEEE + CryptValues()[0x400 + low]);
        if ((tableKey & 0xFF) != low)
            continue;
        std::vector<std::uint32_t> offsets = stored;
        DecryptWords(offsets, tableKey);
        if (soundSectorTable(offsets, block, sectorSize))
            return ((tableKey + 1) ^ block.size) - block.offset;
    }
    return std::nullopt;
}

void ArchiveRebuild::Source::findKeys() {
    for (const HashEntry& entry : hashes) {
        if (entry.block >= blocks.size() || (blocks[entry.block].flags & MPQ_FILE_EXISTS) == 0 ||
            !positionKeyed(blocks[entry.block]))
            continue;
        const auto name = names.find(nameKey(entry));
        baseKeys[entry.block] = name != names.end() ? std::optional(baseKeyOf(name->second))
                                                    : detectedBaseKey(blocks[entry.block]);
    }
}

bool ArchiveRebuild::Source::liveEntry(std::size_t index) const {
    const std::uint32_t block = hashes[index].block;
    if (written.contains(index))
        return true;
    return block < blocks.size() && (blocks[block].flags & MPQ_FILE_EXISTS) != 0;
}

// The look-up of the archive format: from the name's place in the table on to a free entry.
std::optional<std::size_t> ArchiveRebuild::Source::findEntry(std::string_view name,
                                                             Locale locale) const {
    const std::uint64_t key = nameKey(name);
    const std::size_t count = hashes.size();
    const std::size_t start = HashString(name, HashType::TableOffset) & (count - 1);
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t index = (start + step) % count;
        const HashEntry& entry = hashes[index];
        if (entry.block == kFreeEntry)
            break;
        if (nameKey(entry) == key && entry.locale == locale && liveEntry(index))
            return index;
    }
    return std::nullopt;
}

std::optional<std::size_t> ArchiveRebuild::Source::freeEntry(std::string_view name) const {
    const std::size_t count = hashes.size();
    const std::size_t start = HashString(name, HashType::TableOffset) & (count - 1);
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t index = (start + step) % count;
        if (hashes[index].block >= kDeletedEntry || !liveEntry(index))
            return index;
    }
    return std::nullopt;
}

// A block that another entry names too stays as long as that entry does.
bool ArchiveRebuild::Source::shared(std::size_t index) const {
    const std::uint32_t block = hashes[index].block;
    return !written.contains(index) && block < blocks.size() && entriesOfBlock[block] > 1;
}

// The names of the members present, sorted and without repeats regardless of letter case, each
// ended by CR LF, as archive editors write the list; the library's own members are left out.
void ArchiveRebuild::Source::writeListfile() {
    const auto listfile = findEntry(kListfileName, kNeutralLocale);
    if (!listfile)
        return;
    std::vector<std::string_view> present;
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        const auto name = names.find(nameKey(hashes[i]));
        if (liveEntry(i) && name != names.end() && !isLibraryMember(name->second))
            present.push_back(name->second);
    }
    const auto lower = [](unsigned char c) { return std::tolower(c); };
    const auto less = [&](std::string_view a, std::string_view b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [&](char x, char y) { return lower(static_cast<unsigned char>(x)) < lower(y); });
    };
    std::sort(present.begin(), present.end(), less);
    std::string text;
    for (std::size_t i = 0; i < present.size(); ++i)
        if (i == 0 || less(present[i - 1], present[i]))
            text.append(present[i]).append("\r\n");
    SectorCompressor compressor(sectorSize, static_cast<std::uint32_t>(text.size()));
    compressor.Add(text);
    written[*listfile] = compressedMember(compressor, static_cast<std::uint32_t>(text.size()));
}

// Kept blocks in the order they lie in the source, so that it is read front to back, then the
// members the run wrote. Entries of removed or missing members become deleted ones, which keep
// the look-up of the names after them working.
std::vector<PlacedBlock>
ArchiveRebuild::Source::placeBlocks(std::vector<HashEntry>& newHashes) const {
    std::vector<std::uint32_t> kept;
    std::vector<bool> keptBlock(blocks.size());
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        const std::uint32_t block = hashes[i].block;
        if (!written.contains(i) && block < blocks.size() && liveEntry(i) && !keptBlock[block]) {
            keptBlock[block] = true;
            kept.push_back(block);
        }
    }
    std::sort(kept.begin(), kept.end(), [&](std::uint32_t a, std::uint32_t b) {
        return blocks[a].offset < blocks[b].offset;
    });
    std::vector<PlacedBlock> placed;
    std::vector<std::uint32_t> newIndex(blocks.size(), kDeletedEntry);
    std::uint64_t offset = sizeof(ArchiveHeader);
    const auto place = [&](PlacedBlock block) {
        block.entry.offset = static_cast<std::uint32_t>(offset);
        offset += block.entry.storedSize;
        placed.push_back(block);
        return static_cast<std::uint32_t>(placed.size() - 1);
    };
    for (const std::uint32_t block : kept)
        newIndex[block] = place({block, nullptr, blocks[block]});
    newHashes = hashes;
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        HashEntry& entry = newHashes[i];
        if (const auto member = written.find(i); member != written.end())
            entry.block = place({std::nullopt,
                                 &member->second,
                                 {0, static_cast<std::uint32_t>(member->second.stored.size()),
                                  member->second.size, member->second.flags}});
        else if (entry.block < kDeletedEntry)
            entry.block = entry.block < blocks.size() ? newIndex[entry.block] : kDeletedEntry;
    }
    return placed;
}

bool ArchiveRebuild::Source::rekey(std::string& bytes, const BlockEntry& block,
                                   std::uint32_t oldKey, std::uint32_t newKey) {
    const std::uint32_t sectors = sectorCount(block, sectorSize);
    if ((block.flags & MPQ_FILE_SINGLE_UNIT) != 0 || sectors == 0) {
        recrypt(bytes.data(), bytes.size(), oldKey, newKey);
        return true;
    }
    if (!hasSectorTable(block)) {
        for (std::uint32_t i = 0; i < sectors && std::size_t{i} * sectorSize < bytes.size(); ++i)
            recrypt(bytes.data() + std::size_t{i} * sectorSize,
                    std::min<std::size_t>(sectorSize, bytes.size() - std::size_t{i} * sectorSize),
                    oldKey + i, newKey + i);
        return true;
    }
    std::vector<std::uint32_t> table(sectorTableEntries(block, sectorSize));
    if (table.size() * sizeof(std::uint32_t) > bytes.size())
        return fail("a member's sector table is damaged");
    copyBytes(table.data(), bytes.data(), table.size() * sizeof(std::uint32_t));
    DecryptWords(table, oldKey - 1);
    if (!soundSectorTable(table, block, sectorSize))
        return fail("a member's sector table is damaged");
    for (std::uint32_t i = 0; i < sectors; ++i)
        recrypt(bytes.data() + table[i], table[i + 1] - table[i], oldKey + i, newKey + i);
    EncryptWords(table, newKey - 1);
    copyBytes(bytes.data(), table.data(), table.size() * sizeof(std::uint32_t));
    return true;
}

// A member is copied as it is stored; one whose key depends on its position is encrypted anew.
bool ArchiveRebuild::Source::copyBlock(Output& out, const BlockEntry& block,
                                       std::uint32_t newOffset, const ProgressCall& progress,
                                       std::uint64_t total) {
    const std::uint64_t from = archiveOffset + block.offset;
    if (positionKeyed(block) && newOffset != block.offset) {
        const auto baseKey = baseKeys.find(static_cast<std::uint32_t>(&block - blocks.data()));
        std::string bytes(block.storedSize, '\0');
        if (baseKey == baseKeys.end() || !baseKey->second ||
            !read(from, bytes.data(), bytes.size()) ||
            !rekey(bytes, block, keyAt(*baseKey->second, block, block.offset),
                   keyAt(*baseKey->second, block, newOffset)))
            return failure.empty() ? fail("a member's key is unknown") : false;
        return out.Put(bytes.data(), bytes.size()) || fail(errnoReason());
    }
    std::string chunk;
    for (std::uint64_t done = 0; done < block.storedSize; done += chunk.size()) {
        chunk.resize(std::min<std::uint64_t>(kCopyChunk, block.storedSize - done));
        if (!read(from + done, chunk.data(), chunk.size()))
            return false;
        if (!out.Put(chunk.data(), chunk.size()))
            return fail(errnoReason());
        if (progress)
            progress(out.Position(), total);
    }
    return true;
}

bool ArchiveRebuild::Source::writeBlock(Output& out, const PlacedBlock& placed,
                                        const ProgressCall& progress, std::uint64_t total) {
    if (placed.member == nullptr)
        return copyBlock(out, blocks[*placed.sourceBlock], placed.entry.offset, progress, total);
    if (!out.Put(placed.member->stored.data(), placed.member->stored.size()))
        return fail(errnoReason());
    if (progress)
        progress(out.Position(), total);
    return true;
}

ArchiveRebuild::Layout ArchiveRebuild::Source::layOut() const {
    Layout layout;
    layout.placed = placeBlocks(layout.hashes);
    std::uint64_t end = sizeof(ArchiveHeader);
    for (const PlacedBlock& block : layout.placed) {
        layout.blocks.push_back(block.entry);
        end += block.entry.storedSize;
    }
    const std::uint64_t hashTablePos = end;
    const std::uint64_t blockTablePos = hashTablePos + layout.hashes.size() * sizeof(HashEntry);
    const std::uint64_t archiveSize = blockTablePos + layout.blocks.size() * sizeof(BlockEntry);
    // The format's first version counts in 32 bits; a size of 0 says the archive does not fit.
    if (archiveSize > std::numeric_limits<std::uint32_t>::max())
        return layout;
    layout.header = {{'M', 'P', 'Q', '\x1A'},
                     sizeof(ArchiveHeader),
                     static_cast<std::uint32_t>(archiveSize),
                     0,
                     sectorShift,
                     static_cast<std::uint32_t>(hashTablePos),
                     static_cast<std::uint32_t>(blockTablePos),
                     static_cast<std::uint32_t>(layout.hashes.size()),
                     static_cast<std::uint32_t>(layout.blocks.size())};
    return layout;
}

// The bytes in front of the archive (a map header), then the archive. A map is signed from its
// map header on, other archives from their own header.
bool ArchiveRebuild::Source::writeArchive(Output& out, const Layout& layout, Md5& digest,
                                          const ProgressCall& progress) {
    std::string prefix(archiveOffset, '\0');
    if (!read(0, prefix.data(), prefix.size()))
        return false;
    if (signatureEntry && prefix.starts_with("HM3W"))
        out.Digest(&digest);
    if (!out.Put(prefix.data(), prefix.size()))
        return fail(errnoReason());
    if (signatureEntry)
        out.Digest(&digest);
    const std::uint64_t total = archiveOffset + layout.header.archiveSize;
    if (!out.Put(reinterpret_cast<const char*>(&layout.header), sizeof layout.header))
        return fail(errnoReason());
    for (const PlacedBlock& block : layout.placed)
        if (!writeBlock(out, block, progress, total))
            return false;
    // Windows keeps a file that is open from being replaced, and the source may be the target.
    raw.close();
    if (!out.PutTable(layout.hashes, "(hash table)") ||
        !out.PutTable(layout.blocks, "(block table)"))
        return fail(errnoReason());
    return true;
}

// The signature member was written as zeros, as the digest takes it.
bool ArchiveRebuild::Source::sign(Output& out, const Layout& layout, Md5& digest) {
    const auto signature = SignWeakly(digest.Finish());
    if (!signature)
        return fail("the map could not be signed");
    const std::uint32_t at = layout.blocks[layout.hashes[*signatureEntry].block].offset;
    return out.PutAt(archiveOffset + at, signature->data(), signature->size()) ||
           fail(errnoReason());
}

ArchiveRebuild::ArchiveRebuild(std::unique_ptr<Source> source) : source(std::move(source)) {}

ArchiveRebuild::~ArchiveRebuild() = default;

// The library's view of the archive: where it starts, its sectors, its tables, the names its
// "(listfile)" gives.
bool ArchiveRebuild::Source::readArchive(HANDLE mpq) {
    archiveOffset = FileInfo<ULONGLONG>(mpq, SFileMpqHeaderOffset);
    sectorSize = FileInfo<DWORD>(mpq, SFileMpqSectorSize);
    sectorShift = static_cast<std::uint16_t>(std::countr_zero(sectorSize) -
                                             std::countr_zero(kSmallestSector));
    std::vector<TMPQHash> libraryHashes;
    std::vector<TMPQBlock> libraryBlocks;
    raw.open(PathFromUtf8(path), std::ios::binary | std::ios::ate);
    if (!ReadLibraryTable(mpq, SFileMpqHashTableSize, SFileMpqHashTable, libraryHashes) ||
        !ReadLibraryTable(mpq, SFileMpqBlockTableSize, SFileMpqBlockTable, libraryBlocks) ||
        sectorSize < kSmallestSector || !raw || !InternalMembersAreSafe(path, mpq) ||
        !readNames(mpq))
        return false;
    fileSize = static_cast<std::uint64_t>(raw.tellg());
    hashes.resize(libraryHashes.size());
    copyBytes(hashes.data(), libraryHashes.data(), hashes.size() * sizeof(HashEntry));
    blocks.resize(libraryBlocks.size());
    copyBytes(blocks.data(), libraryBlocks.data(), blocks.size() * sizeof(BlockEntry));
    return true;
}

// Which blocks are shared, which keys are known, whether the archive can be written anew.
void ArchiveRebuild::Source::survey() {
    entriesOfBlock.assign(blocks.size(), 0);
    for (const HashEntry& entry : hashes)
        if (entry.block < blocks.size())
            ++entriesOfBlock[entry.block];
    findKeys();
    // The look-up of a name needs a table whose size is a power of two.
    keepsEverything = std::has_single_bit(hashes.size()) &&
                      std::all_of(baseKeys.begin(), baseKeys.end(),
                                  [](const auto& key) { return key.second.has_value(); });
    if (keepsEverything)
        signatureEntry = findEntry(kSignatureName, kNeutralLocale);
}

std::unique_ptr<ArchiveRebuild> ArchiveRebuild::Open(const std::string& sourcePath,
                                                     OpenFailure* failure) {
    const DWORD readOnly = MPQ_OPEN_READ_ONLY | MPQ_OPEN_NO_LISTFILE | MPQ_OPEN_NO_ATTRIBUTES;
    const LibraryArchive mpq = OpenCheckedArchive(sourcePath, readOnly, failure);
    if (!mpq)
        return nullptr;
    if (FoundMalformed(mpq.get())) {
        ReportFailure(failure, OpenFailure::Protected);
        return nullptr;
    }
    auto source = std::make_unique<Source>();
    source->path = sourcePath;
    if (!source->readArchive(mpq.get())) {
        ReportFailure(failure, OpenFailure::NotAnArchive);
        return nullptr;
    }
    source->survey();
    return std::unique_ptr<ArchiveRebuild>(new ArchiveRebuild(std::move(source)));
}

bool ArchiveRebuild::KeepsEverything() const {
    return source->keepsEverything;
}

bool ArchiveRebuild::Store(const std::string& name, Locale locale, std::uint32_t size,
                           const MemberPieces& pieces) {
    Source& s = *source;
    auto entry = s.findEntry(name, locale);
    if (entry && s.shared(*entry))
        return s.fail(name + " shares its data with another member");
    if (!entry)
        entry = s.freeEntry(name);
    if (!entry)
        return s.fail("the map's hash table is full");
    SectorCompressor compressor(s.sectorSize, size);
    if (!pieces([&](std::string_view piece) { return compressor.Add(piece); }))
        return s.fail("the member's data could not be read");
    NewMember member = compressedMember(compressor, size);
    if (member.stored.empty() && size != 0)
        return s.fail("the member's data is not as long as announced");
    HashEntry& hash = s.hashes[*entry];
    if (!s.liveEntry(*entry))
        hash = {HashString(name, HashType::NameA), HashString(name, HashType::NameB), locale, 0,
                kDeletedEntry};
    s.names.emplace(nameKey(name), name);
    s.written[*entry] = std::move(member);
    return true;
}

DeleteResult ArchiveRebuild::Remove(const std::string& name, Locale locale) {
    Source& s = *source;
    const auto entry = s.findEntry(name, locale);
    if (!entry)
        return DeleteResult::Absent;
    if (s.shared(*entry)) {
        s.fail(name + " shares its data with another member");
        return DeleteResult::Failed;
    }
    s.written.erase(*entry);
    s.hashes[*entry].block = kDeletedEntry;
    return DeleteResult::Deleted;
}

bool ArchiveRebuild::Write(const std::string& path, const ProgressCall& progress) {
    Source& s = *source;
    s.writeListfile();
    if (s.signatureEntry)
        s.written[*s.signatureEntry] = {std::string(kWeakSignatureMemberSize, '\0'),
                                        kWeakSignatureMemberSize, MPQ_FILE_EXISTS};
    const Layout layout = s.layOut();
    if (layout.header.archiveSize == 0)
        return s.fail("the new map would be larger than its format allows");
    Output out(path);
    if (!out.Opened())
        return s.fail(errnoReason());
    Md5 digest;
    if (!s.writeArchive(out, layout, digest, progress))
        return false;
    if (s.signatureEntry && !s.sign(out, layout, digest))
        return false;
    if (!out.Close())
        return s.fail(errnoReason());
    if (progress)
        progress(out.Position(), out.Position());
    return true;
}

const std::string& ArchiveRebuild::FailureReason() const {
    return source->failure;
}

} // namespace parlune::Kestmarlapi
