// Contract: a whole run over any bytes as a map file ends in a ProcessingError or in a new map,
// nothing worse. A failed run leaves the source as it was and writes nothing beside it; a
// successful one leaves a target that opens as a map again.

#include "archive/Kestmarlapi.h"
#include "fuzz/FuzzSupport.h"
#include "processing/ProcessingError.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t entriesIn(const std::string& folder) {
    const auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

bool opensAsMap(const std::string& path) {
    return parlune::Kestmarlapi::SFileOpenArchive(path) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string folder = parlune::fuzz::ScratchFolder() + "/run";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    const std::string source = folder + "/source.w3x";
    parlune::fuzz::WriteScratchFile(source, data, size);

    parlune::fuzz::QuietProcessor run;
    run.verbose = size % 2 == 1;
    run.noCompact = size % 3 == 0;
    run.SourcePath = source;
    run.TargetPath = folder + "/target.w3x";
    try {
        run.Run();
    } catch (const parlune::ProcessingError&) {
        const std::string before(reinterpret_cast<const char*>(data), size);
        if (readFile(source) != before || entriesIn(folder) != 1)
            std::abort();
        return 0;
    }
    if (std::filesystem::exists(run.TargetPath) && !opensAsMap(run.TargetPath))
        std::abort();
    return 0;
}
