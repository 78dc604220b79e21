#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parlune::Kestmarlapi {

// Compresses a member with deflate as the archive format stores a compressed member: a table
// of sector offsets, then each sector, led by the byte that names its method where deflate
// made it shorter, as it is otherwise. The bytes arrive piece by piece and are compressed in
// batches of sectors, spread over every core.
class SectorCompressor {
public:
    // Spreads the work over workers threads; by default one for each core.
    SectorCompressor(std::uint32_t sectorSize, std::uint32_t size,
                     unsigned workers = DefaultWorkers());

    static unsigned DefaultWorkers();

    // False once the pieces exceed the size given.
    bool Add(std::string_view piece);
    // The member as stored, once exactly the size given has arrived; empty otherwise.
    std::string Finish();

private:
    void compressBatch(std::string_view batch);

    std::uint32_t sectorSize;
    std::uint32_t size;
    std::uint64_t received = 0;
    unsigned workers;
    std::string pending;
    std::string sectors;
    std::string offsets;
};

} // namespace parlune::Kestmarlapi
