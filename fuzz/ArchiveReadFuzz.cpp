// Contract: any bytes as a map file may end in a ProcessingError when the map is opened or a
// member is read, nothing worse: no crash, no hang, no allocation beyond the member cap.

#include "fuzz/FuzzSupport.h"
#include "processing/ProcessingError.h"
#include "processing/RunState.h"
#include "processing/SourceMap.h"

namespace {

// Every member a run reads, under both script names, plus the string table.
constexpr std::string_view kMembers[] = {
    "war3map.wts", "war3map.j",   "Scripts\\war3map.j", "war3map.w3a",     "war3map.w3h",
    "war3map.w3i", "war3map.w3q", "war3map.w3t",        "war3map.w3u",     "war3mapSkin.txt",
    "war3map.w3b", "war3map.w3d", "war3map.lua",        "war3mapSkin.w3u", "(listfile)"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = parlune::fuzz::ScratchFolder() + "/read.w3x";
    parlune::fuzz::WriteScratchFile(path, data, size);
    try {
        parlune::SourceMap source(path);
        std::string contents;
        for (std::string_view name : kMembers) {
            if (source.ReadMember(name, contents) && contents.size() > parlune::kMaxMemberSize)
                std::abort();
        }
    } catch (const parlune::ProcessingError&) {
    }
    return 0;
}
