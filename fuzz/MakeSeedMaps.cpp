// Writes seed maps for the archive fuzz targets, each showing one kind of map as map makers
// have them, so that the fuzzers start from every path a run can take.
//
//   make-seed-maps FOLDER

#include "archive/ArchiveBuilder.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
namespace api = parlune::Kestmarlapi;

struct SeedMap {
    const char* name;
    std::vector<api::MemberSpec> members;
    bool signWeak = false;
};

const std::string kTable = "\xEF\xBB\xBF"
                           "STRING 1\r\n{\r\nFootman\r\n}\r\n\r\n"
                           "STRING 2\r\n{\r\nOpens the gate\r\n}\r\n\r\n"
                           "STRING 3\r\n{\r\nCustom text\r\n}\r\n\r\n";

std::vector<SeedMap> seedMaps() {
    return {
        {"signed.w3x",
         {{"war3map.wts", kTable},
          {"war3map.j", "call DisplayText(\"TRIGSTR_002\")\r\n"},
          {"war3map.w3u", "unam TRIGSTR_001\0"s}},
         true},
        {"editor-triggers.w3x",
         {{"war3map.wts", kTable},
          {"war3map.w3u", "unam TRIGSTR_001\0"s},
          {"war3map.wtg", "WTG!\x07\0\0\0TRIGSTR_002\0"s},
          {"war3map.wct", "// TRIGSTR_003\r\n"}}},
        {"empty-table.w3x", {{"war3map.wts", ""}, {"war3map.w3u", "unam TRIGSTR_001\0"s}}},
    };
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-seed-maps FOLDER\n");
        return 2;
    }
    try {
        for (const SeedMap& seed : seedMaps()) {
            api::NewArchiveOptions options;
            options.header = api::MakeMapHeader("Seed");
            options.withAttributes = false; // its time stamps would change every seed each time
            options.signWeak = seed.signWeak;
            api::CreateArchive(std::string(argv[1]) + "/" + seed.name, seed.members, options);
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
