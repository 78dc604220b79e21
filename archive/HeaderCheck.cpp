#include "archive/HeaderCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace parlune::Kestmarlapi {

namespace {

constexpr std::uint16_t kLargestSectorShift = 16;

bool tableFits(const char* header, std::size_t positionField, std::size_t countField,
               std::uint64_t archiveSpace) {
    std::uint32_t position = 0;
    std::uint32_t entries = 0;
    std::memcpy(&position, header + positionField, sizeof position);
    std::memcpy(&entries, header + countField, sizeof entries);
    constexpr std::uint64_t kEntrySize = 16;
    return position + entries * kEntrySize <= archiveSpace;
}

bool hasSignature(const char* bytes, const char* signature) {
    return std::memcmp(bytes, signature, 4) == 0;
}

bool archiveHeaderIsSane(const char* header, std::uint64_t archiveSpace) {
    std::uint16_t sectorShift = 0;
    std::memcpy(&sectorShift, header + 14, sizeof sectorShift);
    return sectorShift <= kLargestSectorShift && tableFits(header, 16, 24, archiveSpace) &&
           tableFits(header, 20, 28, archiveSpace);
}

// Checks every archive header candidate at a 512-byte boundary, where the library looks for
// one: which of them it takes depends on rules of its own, so all must be sane. A user data
// header points to the archive header it belongs to. Another archive format's header, which
// the library handles badly, or no archive header at all, fails the check.
class HeaderScan {
public:
    HeaderScan(std::ifstream& file, std::uint64_t fileSize) : file(file), fileSize(fileSize) {}

    bool run() {
        constexpr std::size_t kChunk = 1 << 20;
        std::vector<char> chunk(kChunk);
        for (std::uint64_t start = 0; start < fileSize; start += kChunk) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, fileSize - start));
            file.seekg(static_cast<std::streamoff>(start));
            if (!file.read(chunk.data(), static_cast<std::streamsize>(length)))
                return false;
            for (std::size_t at = 0; at + kHeaderBytes <= length; at += 512) {
                if (!candidateIsSane(chunk.data() + at, start + at))
                    return false;
            }
        }
        return foundArchive;
    }

private:
    static constexpr std::size_t kHeaderBytes = 32;

    bool candidateIsSane(const char* bytes, std::uint64_t offset) {
        if (hasSignature(bytes, "MPK\x1A"))
            return false;
        if (hasSignature(bytes, "MPQ\x1B"))
            return userDataTargetIsSane(bytes, offset);
        if (!hasSignature(bytes, "MPQ\x1A"))
            return true;
        foundArchive = true;
        return archiveHeaderIsSane(bytes, fileSize - offset);
    }

    bool userDataTargetIsSane(const char* bytes, std::uint64_t offset) {
        std::uint32_t headerOffset = 0;
        std::memcpy(&headerOffset, bytes + 8, sizeof headerOffset);
        const std::uint64_t target = offset + headerOffset;
        char header[kHeaderBytes];
        const auto position = file.tellg();
        file.seekg(static_cast<std::streamoff>(target));
        const bool read = target + kHeaderBytes <= fileSize && file.read(header, sizeof header);
        file.clear();
        file.seekg(position);
        return !read || !hasSignature(header, "MPQ\x1A") ||
               archiveHeaderIsSane(header, fileSize - target);
    }

    std::ifstream& file;
    std::uint64_t fileSize;
    bool foundArchive = false;
};

} // namespace

bool HeaderIsSane(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const auto fileSize = static_cast<std::uint64_t>(file.tellg());
    return HeaderScan(file, fileSize).run();
}

} // namespace parlune::Kestmarlapi
