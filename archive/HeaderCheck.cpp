#include "archive/HeaderCheck.h"

#include "archive/ArchiveFormat.h"
#include "archive/MpqCrypto.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace parlune::Kestmarlapi {

namespace {

constexpr std::uint16_t kLargestSectorShift = 16;
constexpr std::uint32_t kTwoGiB = 0x80000000;
constexpr std::size_t kHeaderBytes = sizeof(ArchiveHeader);

using Verdict = std::optional<OpenFailure>; // nothing when sane

ArchiveHeader headerIn(const char* bytes) {
    ArchiveHeader header;
    std::memcpy(&header, bytes, sizeof header);
    return header;
}

std::uint64_t tableEnd(std::uint32_t position, std::uint32_t entries) {
    return position + std::uint64_t{entries} * kTableEntryWords * sizeof(std::uint32_t);
}

bool tablesFit(const ArchiveHeader& header, std::uint64_t archiveSpace) {
    return tableEnd(header.hashTablePos, header.hashTableSize) <= archiveSpace &&
           tableEnd(header.blockTablePos, header.blockTableSize) <= archiveSpace;
}

// The library refuses an archive whose tables start past the end of the file.
bool tablesStartInside(const ArchiveHeader& header, std::uint64_t archiveSpace) {
    return header.hashTablePos <= archiveSpace && header.blockTablePos <= archiveSpace;
}

// A header as archive writers make it for the format's first version: 32 bytes, and an
// archive size that the library relies on, which is where the block table ends (writers put
// the tables last) or where the file ends.
bool isOrdinaryHeader(const ArchiveHeader& header, std::uint64_t archiveSpace) {
    return header.headerSize == kHeaderBytes && header.version == 0 &&
           (header.archiveSize == tableEnd(header.blockTablePos, header.blockTableSize) ||
            header.archiveSize == archiveSpace);
}

// A table that runs past the end of the file comes from a file cut short or from a protector.
// The game reads what there is of such a table, takes the rest as empty, and ignores the
// header size, the version and the archive size; protectors alter them so that editors refuse
// the map, and the library reads it as malformed and read-only. A file cut short still has the
// ordinary header it was written with, whose archive size ends at its block table, beyond what
// is left. So a table running past the end under any other header is a protector's; tables
// that start past the end, which the library refuses, are damage.
Verdict archiveHeaderVerdict(const ArchiveHeader& header, std::uint64_t archiveSpace) {
    if (header.sectorShift > kLargestSectorShift || !tablesStartInside(header, archiveSpace))
        return OpenFailure::NotAnArchive;
    if (tablesFit(header, archiveSpace))
        return std::nullopt;
    return isOrdinaryHeader(header, archiveSpace) ? OpenFailure::NotAnArchive
                                                  : OpenFailure::Protected;
}

bool hasSignature(const char* bytes, const char* signature) {
    return std::memcmp(bytes, signature, 4) == 0;
}

// The library reads a file that begins with a Warcraft III map header as a map of that game,
// unless the file's name gives it to another game. In such a map it ignores user data headers
// and other archive formats, and takes the first archive header at a 512-byte boundary that
// declares at least 32 bytes.
bool readAsWarcraftMap(const std::string& path, std::ifstream& file) {
    char start[8] = {};
    file.seekg(0);
    const bool read = static_cast<bool>(file.read(start, sizeof start));
    file.clear();
    if (!read || std::string_view(start, sizeof start) != std::string_view("HM3W\0\0\0\0", 8))
        return false;
    std::string extension = Utf8FromPath(PathFromUtf8(path).extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* otherGame : {".s2ma", ".sc2map", ".sc2mod", ".scm", ".scx"})
        if (extension == otherGame)
            return false;
    return true;
}

// An archive header the library takes rather than passes over: one that declares at least
// 32 bytes.
bool isTaken(const char* bytes) {
    return hasSignature(bytes, "MPQ\x1A") && headerIn(bytes).headerSize >= kHeaderBytes;
}

// Checks the archive header candidates at 512-byte boundaries, where the library looks for
// one. In a Warcraft III map the library takes the first, and when that one declares the first
// version of the format, no version of the library passes it over as fake: it alone counts.
// Elsewhere which one the library takes depends on rules of its own, so all must be sane. A
// user data header points to the archive header it belongs to. Another archive format's
// header, which the library handles badly, or no archive header at all, fails the check.
// Protectors work on Warcraft III maps, so only a map's first header is judged a protector's;
// the library reads that one by the rules of the first version, whatever version it declares.
class HeaderScan {
public:
    HeaderScan(std::ifstream& file, std::uint64_t fileSize) : file(file), fileSize(fileSize) {}

    Verdict run(bool map) {
        warcraftMap = map;
        if (warcraftMap)
            // A first header that fails refuses the map, whatever version it declares.
            if (const FirstHeader first = firstTakenHeader();
                !first.laterVersion || first.verdict.has_value())
                return first.verdict;
        return everyCandidateIsSane() ? Verdict() : OpenFailure::NotAnArchive;
    }

private:
    struct FirstHeader {
        Verdict verdict = OpenFailure::NotAnArchive;
        bool laterVersion = false;
    };

    // Hands each 512-byte boundary to visit, front to back, with how many of a header's bytes
    // the file has there (the missing ones are zero), until visit returns false. Returns
    // whether the file could be read.
    template <typename Visit> bool forEachCandidate(Visit visit) {
        constexpr std::size_t kChunk = 1 << 20;
        std::vector<char> chunk(kChunk);
        for (std::uint64_t start = 0; start < fileSize; start += kChunk) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, fileSize - start));
            file.seekg(static_cast<std::streamoff>(start));
            if (!file.read(chunk.data(), static_cast<std::streamsize>(length)))
                return false;
            for (std::size_t at = 0; at < length; at += 512) {
                const std::size_t available = std::min(kHeaderBytes, length - at);
                const char* bytes = chunk.data() + at;
                std::array<char, kHeaderBytes> cut{};
                if (available < kHeaderBytes) {
                    std::copy_n(bytes, available, cut.data());
                    bytes = cut.data();
                }
                if (!visit(bytes, start + at, available))
                    return true;
            }
        }
        return true;
    }

    // No archive header at all is not sane.
    FirstHeader firstTakenHeader() {
        FirstHeader first;
        const bool read =
            forEachCandidate([&](const char* bytes, std::uint64_t offset, std::size_t available) {
                if (available < kHeaderBytes || !isTaken(bytes))
                    return true;
                const ArchiveHeader header = headerIn(bytes);
                first = {verdictAt(header, offset, true), header.version != 0};
                return false;
            });
        return read ? first : FirstHeader();
    }

    bool everyCandidateIsSane() {
        bool sane = true;
        bool foundArchive = false;
        const bool read =
            forEachCandidate([&](const char* bytes, std::uint64_t offset, std::size_t available) {
                foundArchive = foundArchive || hasSignature(bytes, "MPQ\x1A");
                sane = available == kHeaderBytes ? candidateIsSane(bytes, offset)
                                                 : !mayBeginAHeader(bytes, available);
                return sane;
            });
        return read && sane && foundArchive;
    }

    // The library reads a header cut off by the end of the file with whatever its buffer held
    // before: one that may begin like an archive header cannot be checked.
    static bool mayBeginAHeader(const char* bytes, std::size_t available) {
        return std::string_view("MP").starts_with(
            std::string_view(bytes, std::min<std::size_t>(available, 2)));
    }

    bool candidateIsSane(const char* bytes, std::uint64_t offset) {
        if (hasSignature(bytes, "MPK\x1A"))
            return false;
        if (hasSignature(bytes, "MPQ\x1B"))
            return userDataTargetIsSane(bytes, offset);
        // The library passes over an archive header that declares fewer than 32 bytes.
        if (!isTaken(bytes))
            return true;
        const ArchiveHeader header = headerIn(bytes);
        return !verdictAt(header, offset, readsAsFirstVersion(header)).has_value();
    }

    // A user data header gives the offset of its archive header after its signature and size.
    bool userDataTargetIsSane(const char* bytes, std::uint64_t offset) {
        std::uint32_t archiveOffset = 0;
        std::memcpy(&archiveOffset, bytes + 8, sizeof archiveOffset);
        const std::uint64_t target = offset + archiveOffset;
        char raw[kHeaderBytes];
        const auto position = file.tellg();
        file.seekg(static_cast<std::streamoff>(target));
        const bool read = target + sizeof raw <= fileSize && file.read(raw, sizeof raw);
        file.clear();
        file.seekg(position);
        if (!read || !isTaken(raw))
            return true;
        const ArchiveHeader header = headerIn(raw);
        return !verdictAt(header, target, readsAsFirstVersion(header)).has_value();
    }

    // The library reads the layout of the first version from a header that declares it, the
    // second (whose fields extend the first's) or a version it does not know. Only the third
    // and the fourth are laid out otherwise.
    static bool readsAsFirstVersion(const ArchiveHeader& header) {
        return header.version != 2 && header.version != 3;
    }

    // The verdict on the archive header at offset, whose tables, when the library reads it by
    // the rules of the first version, are checked too.
    Verdict verdictAt(const ArchiveHeader& header, std::uint64_t offset, bool readAsFirstVersion) {
        // Outside a Warcraft III map the library reads the third and the fourth version as
        // they are: it takes the stored sizes of their tables from where the tables lie and
        // reads those sizes into buffers of the tables' own. No map uses these versions.
        if (!readAsFirstVersion && !warcraftMap)
            return OpenFailure::NotAnArchive;
        const Verdict verdict = archiveHeaderVerdict(header, fileSize - offset);
        if (verdict || !readAsFirstVersion || signatureEntriesAreSound(header, offset))
            return verdict;
        return OpenFailure::NotAnArchive;
    }

    // The library asserts on opening an archive whose "(signature)" names a block that it does
    // not take as a member: one past the block table, not flagged as existing, of 2 GiB or
    // more, or starting past the end of the file. The tables lie inside the file here.
    bool signatureEntriesAreSound(const ArchiveHeader& header, std::uint64_t offset) {
        const std::vector<std::uint32_t> hashes =
            table(offset + header.hashTablePos, header.hashTableSize, "(hash table)");
        const std::vector<std::uint32_t> blocks =
            table(offset + header.blockTablePos, header.blockTableSize, "(block table)");
        const std::uint32_t nameA = HashString(kSignatureName, HashType::NameA);
        const std::uint32_t nameB = HashString(kSignatureName, HashType::NameB);
        constexpr std::size_t kWords = kTableEntryWords;
        for (std::size_t entry = 0; entry + kWords <= hashes.size(); entry += kWords) {
            const std::uint32_t block = hashes[entry + 3];
            if (hashes[entry] != nameA || hashes[entry + 1] != nameB || block >= kDeletedEntry)
                continue;
            if ((std::uint64_t{block} + 1) * kWords > blocks.size())
                return false;
            const std::uint32_t* fields = blocks.data() + std::size_t{block} * kWords;
            if ((fields[3] & kExistsFlag) == 0 || fields[2] >= kTwoGiB ||
                offset + fields[0] >= fileSize)
                return false;
        }
        return true;
    }

    // The encrypted table of entries at start, as 32-bit words, decrypted; empty when it
    // cannot be read.
    std::vector<std::uint32_t> table(std::uint64_t start, std::uint32_t entries,
                                     const char* keyName) {
        std::vector<std::uint32_t> words(std::size_t{entries} * kTableEntryWords);
        const auto position = file.tellg();
        file.seekg(static_cast<std::streamoff>(start));
        if (!file.read(reinterpret_cast<char*>(words.data()),
                       static_cast<std::streamsize>(words.size() * sizeof(std::uint32_t))))
            words.clear();
        file.clear();
        file.seekg(position);
        DecryptWords(words, HashString(keyName, HashType::FileKey));
        return words;
    }

    std::ifstream& file;
    std::uint64_t fileSize;
    bool warcraftMap = false;
};

} // namespace

std::optional<OpenFailure> HeaderFailure(const std::string& path) {
    std::ifstream file(PathFromUtf8(path), std::ios::binary | std::ios::ate);
    if (!file)
        return OpenFailure::NotAnArchive;
    const auto fileSize = static_cast<std::uint64_t>(file.tellg());
    return HeaderScan(file, fileSize).run(readAsWarcraftMap(path, file));
}

} // namespace parlune::Kestmarlapi
