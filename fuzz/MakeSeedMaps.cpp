// Writes seed maps for the archive fuzz targets, each showing one kind of map as map makers
// have them, so that the fuzzers start from every path a run can take.
//
//   make-seed-maps FOLDER

#include "archive/testing/ArchiveBuilder.h"

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
    bool mapHeader = true;
};

const std::string kTable = "\xEF\xBB\xBF"
                           "STRING 1\r\n{\r\nFootman\r\n}\r\n\r\n"
                           "STRING 2\r\n{\r\nOpens the gate\r\n}\r\n\r\n"
                           "STRING 3\r\n{\r\nCustom text\r\n}\r\n\r\n";

// Bytes that neither compress to nothing nor look like a reference, deterministically.
std::string filler(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919 + i / 13) % 251);
    return bytes;
}

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
        // Every way a map stores its members, and members of every kind a run treats apart.
        {"stored-forms.w3x",
         {{"war3map.wts", kTable, api::MemberStorage::Encrypted},
          {"Scripts\\war3map.j", "call DisplayText(\"TRIGSTR_001\")\r\n" + filler(6000),
           api::MemberStorage::Imploded},
          {"war3map.w3u", "unam TRIGSTR_002\0"s + filler(5000),
           api::MemberStorage::EncryptedByPosition},
          {"war3map.w3a", filler(9000) + "TRIGSTR_001", api::MemberStorage::WithSectorChecksums},
          {"war3map.w3t", "", api::MemberStorage::Deflated},
          {"war3map.w3i", "TRIGSTR_002", api::MemberStorage::Plain},
          {"war3map.lua", "SetMapName(\"TRIGSTR_003\")", api::MemberStorage::Encrypted},
          {"war3map.doo", filler(6000), api::MemberStorage::WithSectorChecksums},
          {"Sound\\Ambient.wav", filler(9000), api::MemberStorage::Sound}},
         true},
        // Translated tables of both kinds, and members the run only reads for references.
        {"translated.w3x",
         {{"war3map.wts", kTable},
          {"war3map.wts", kTable.substr(0, 16) + "Fußsoldat" + kTable.substr(23),
           api::MemberStorage::Deflated, 0x407},
          {"war3map.wts", kTable, api::MemberStorage::Encrypted, 0x40C},
          {"_Locales\\zhCN.w3mod\\war3map.wts", kTable.substr(0, kTable.find("STRING 3"))},
          {"war3map.j", "call DisplayText(\"TRIGSTR_001\")\r\n"},
          {"war3map.w3u", "unam TRIGSTR_001\0unam TRIGSTR_002\0"s},
          {"war3map.w3u", "unam TRIGSTR_003\0"s, api::MemberStorage::Deflated, 0x407},
          {"_HD.w3mod\\war3mapSkin.txt", "[Skin]\r\nName=TRIGSTR_003\r\n"},
          {"war3mapImported\\Quests.txt", "TRIGSTR_002"}}},
        // Only an archive without the game's map header knows members stored in one unit.
        {"single-unit.w3x",
         {{"war3map.wts", kTable, api::MemberStorage::SingleUnit},
          {"war3map.w3u", "unam TRIGSTR_001\0"s, api::MemberStorage::SingleUnit}},
         false,
         false},
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
            if (seed.mapHeader)
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
