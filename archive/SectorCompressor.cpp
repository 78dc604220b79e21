#include "archive/SectorCompressor.h"

#ifdef PARLUNE_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace parlune::Kestmarlapi {

namespace {

// The method byte of a sector compressed with deflate.
constexpr char kDeflateMethod = 0x02;
// The level the archive library uses; level 9 would save under 1 % on map members.
constexpr int kDeflateLevel = 6;
// Sectors a worker compresses per batch: enough to make starting a thread worth it.
constexpr std::uint32_t kSectorsPerWorker = 256;
constexpr unsigned kMaxWorkers = 16;

void appendWord(std::string& out, std::uint32_t word) {
    char bytes[sizeof word];
    std::memcpy(bytes, &word, sizeof word); // the format stores the lowest byte first
    out.append(bytes, sizeof word);
}

// Compresses sectors one after the other with one compressor. libdeflate, where the system has
// it, is about 2.6 times as fast as zlib on object data at the same level and as fast on
// script text; zlib is the fallback. Either writes the zlib format the archive's readers take.
class SectorDeflater {
public:
#ifdef PARLUNE_LIBDEFLATE
    SectorDeflater() : compressor(libdeflate_alloc_compressor(kDeflateLevel)) {}
    ~SectorDeflater() {
        libdeflate_free_compressor(compressor);
    }
#else
    SectorDeflater() {
        deflateInit(&stream, kDeflateLevel);
    }
    ~SectorDeflater() {
        deflateEnd(&stream);
    }
#endif
    SectorDeflater(const SectorDeflater&) = delete;
    SectorDeflater& operator=(const SectorDeflater&) = delete;

    // Appends the stored form of sector to out: compressed when that leaves it shorter by more
    // than its method byte, as it is otherwise.
    void Store(std::string_view sector, std::string& out) {
        const std::size_t start = out.size();
        out.resize(start + sector.size());
        const std::size_t room = sector.size() > 2 ? sector.size() - 2 : 0;
        const std::size_t packed = room > 0 ? compress(sector, out.data() + start + 1, room) : 0;
        if (packed > 0) {
            out[start] = kDeflateMethod;
            out.resize(start + 1 + packed);
        } else {
            std::memcpy(out.data() + start, sector.data(), sector.size());
        }
    }

private:
    // The compressed size, or 0 when it does not fit into room.
#ifdef PARLUNE_LIBDEFLATE
    std::size_t compress(std::string_view sector, char* out, std::size_t room) {
        return compressor == nullptr
                   ? 0
                   : libdeflate_zlib_compress(compressor, sector.data(), sector.size(), out, room);
    }

    libdeflate_compressor* compressor;
#else
    std::size_t compress(std::string_view sector, char* out, std::size_t room) {
        deflateReset(&stream);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(sector.data()));
        stream.avail_in = static_cast<uInt>(sector.size());
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = static_cast<uInt>(room);
        return deflate(&stream, Z_FINISH) == Z_STREAM_END ? stream.total_out : 0;
    }

    z_stream stream{};
#endif
};

// The stored sectors of one worker's share of a batch, and where each ends.
struct WorkerOutput {
    std::string bytes;
    std::vector<std::uint32_t> ends;
};

void compressSectors(std::string_view plain, std::uint32_t sectorSize, WorkerOutput& output) {
    SectorDeflater deflater;
    output.bytes.reserve(plain.size());
    for (std::size_t at = 0; at < plain.size(); at += sectorSize) {
        deflater.Store(plain.substr(at, sectorSize), output.bytes);
        output.ends.push_back(static_cast<std::uint32_t>(output.bytes.size()));
    }
}

} // namespace

unsigned SectorCompressor::DefaultWorkers() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers);
}

SectorCompressor::SectorCompressor(std::uint32_t sectorSize, std::uint32_t size, unsigned workers)
    : sectorSize(sectorSize), size(size), workers(std::max(workers, 1u)) {
    const std::uint32_t sectorCount = size == 0 ? 0 : (size - 1) / sectorSize + 1;
    offsets.reserve((sectorCount + 1) * sizeof(std::uint32_t));
    pending.reserve(
        std::min<std::uint64_t>(size, std::uint64_t{workers} * kSectorsPerWorker * sectorSize));
}

bool SectorCompressor::Add(std::string_view piece) {
    received += piece.size();
    if (received > size)
        return false;
    const std::size_t batchSize = std::size_t{workers} * kSectorsPerWorker * sectorSize;
    while (!piece.empty()) {
        const std::size_t taken = std::min(piece.size(), batchSize - pending.size());
        pending.append(piece.substr(0, taken));
        piece.remove_prefix(taken);
        if (pending.size() == batchSize) {
            compressBatch(pending);
            pending.clear();
        }
    }
    return true;
}

// Each worker takes a run of whole sectors; their outputs join in order.
void SectorCompressor::compressBatch(std::string_view batch) {
    const std::size_t sectorCount = (batch.size() + sectorSize - 1) / sectorSize;
    const std::size_t share = (sectorCount + workers - 1) / workers * sectorSize;
    std::vector<WorkerOutput> outputs((batch.size() + share - 1) / share);
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < outputs.size(); ++i) {
        const std::string_view part = batch.substr(i * share, share);
        try {
            threads.emplace_back(compressSectors, part, sectorSize, std::ref(outputs[i]));
        } catch (const std::system_error&) { // no thread to be had: this one does the work
            compressSectors(part, sectorSize, outputs[i]);
        }
    }
    compressSectors(batch.substr(0, share), sectorSize, outputs[0]);
    for (std::thread& thread : threads)
        thread.join();
    for (const WorkerOutput& output : outputs) {
        const auto base = static_cast<std::uint32_t>(sectors.size());
        for (const std::uint32_t end : output.ends)
            appendWord(offsets, base + end);
        sectors += output.bytes;
    }
}

std::string SectorCompressor::Finish() {
    if (received != size || size == 0)
        return {};
    if (!pending.empty())
        compressBatch(pending);
    // Offsets count from the member's start, behind the table: its own length comes first.
    const auto tableSize = static_cast<std::uint32_t>(offsets.size() + sizeof(std::uint32_t));
    std::string stored;
    stored.reserve(tableSize + sectors.size());
    appendWord(stored, tableSize);
    for (std::size_t at = 0; at < offsets.size(); at += sizeof(std::uint32_t)) {
        std::uint32_t end = 0;
        std::memcpy(&end, offsets.data() + at, sizeof end);
        appendWord(stored, tableSize + end);
    }
    stored += sectors;
    return stored;
}

} // namespace parlune::Kestmarlapi
