#pragma once

// Writes new archives from lists of members: the example map, the test maps, the benchmarks'
// maps and the fuzzers' seeds are made with it. The programs never link it.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace parlune::Kestmarlapi {

// Raised when the library fails to make or read an archive here.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a member is stored, in the ways map editors and map tools store them.
enum class MemberStorage {
    Deflated,
    Imploded,
    Encrypted,
    EncryptedByPosition, // the key adjusted by the member's position
    WithSectorChecksums,
    SingleUnit,
    PlainEncryptedByPosition, // not compressed, the key adjusted by position
    Sound,                    // compressed with Huffman and ADPCM, as the game's sounds are
    Bzip2,
    PkwareCompressed, // the PKWARE method in a compressed member's sectors, not imploded
    Plain,            // not compressed
};

struct MemberSpec {
    std::string name;
    std::string data;
    MemberStorage storage = MemberStorage::Deflated;
    // The language the member is stored for; 0 for the neutral entry.
    std::uint16_t locale = 0;
};

struct NewArchiveOptions {
    bool withListfile = true;
    bool withAttributes = true;
    // Bytes written in front of the archive, such as the 512-byte map header; the archive
    // then starts at the next 512-byte boundary.
    std::string header;
    // Hash table size; 0 chooses one with room for every member.
    std::uint32_t maxFileCount = 0;
    // Signs the archive with a weak signature, its member "(signature)", as map editors do.
    bool signWeak = false;
};

// Creates (or replaces) the file at path. Raises ArchiveError when the library fails.
void CreateArchive(const std::string& path, const std::vector<MemberSpec>& members,
                   const NewArchiveOptions& options = {});

enum class WeakSignature { None, Valid, Invalid };

// Checks the weak signature of the archive at path against its contents. Raises ArchiveError
// when the file is not an archive.
WeakSignature VerifyWeakSignature(const std::string& path);

// A map header of 512 bytes: "HM3W", a zero 32-bit value, the map name, flags and players.
std::string MakeMapHeader(const std::string& mapName);

} // namespace parlune::Kestmarlapi
