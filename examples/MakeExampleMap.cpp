// Writes the example map: a few trigger strings referenced from the script, the map info,
// the unit data and the skin file, as a map editor would save them.
//
//   make-example-map OUTPUT.w3x

#include "archive/testing/ArchiveBuilder.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::string stringTable() {
    return "\xEF\xBB\xBF"
           "STRING 1\r\n{\r\nParlune Example\r\n}\r\n\r\n"
           "STRING 2\r\n{\r\nTwo players fight over a river crossing.\r\n}\r\n\r\n"
           "STRING 3\r\n// Unit name\r\n{\r\nRiver Guard\r\n}\r\n\r\n"
           "STRING 4\r\n{\r\nThe crossing is \"ours\".\r\nHold it!\r\n}\r\n\r\n"
           "STRING 5\r\n{\r\nVictory\r\n}\r\n\r\n"
           "STRING 6\r\n{\r\nDefeat\r\n}\r\n\r\n"
           "STRING 7\r\n{\r\nAn unused string that nothing refers to\r\n}\r\n\r\n";
}

std::string script() {
    return "function InitGlobals takes nothing returns nothing\r\n"
           "endfunction\r\n\r\n"
           "function Trig_Intro_Actions takes nothing returns nothing\r\n"
           "    call DisplayTextToForce(GetPlayersAll(), \"TRIGSTR_004\")\r\n"
           "    call CustomVictoryBJ(Player(0), true, true) // TRIGSTR_005\r\n"
           "    call CustomDefeatBJ(Player(1), \"TRIGSTR_006\")\r\n"
           "endfunction\r\n";
}

std::string mapInfo() {
    return "\x19\x00\x00\x00\x01\x00\x00\x00\x06\x00\x00\x00"s + "TRIGSTR_001\0"s +
           "TRIGSTR_002\0"s + "\x00\x00\x00\x00"s;
}

std::string unitData() {
    return "\x02\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00hfoo\x00\x00\x00\x00\x01\x00\x00\x00"
           "unam\x03\x00\x00\x00"s +
           "TRIGSTR_003\0"s + "\x00\x00\x00\x00"s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make-example-map OUTPUT.w3x\n", stderr);
        return 2;
    }
    const std::vector<parlune::Kestmarlapi::MemberSpec> members = {
        {"war3map.wts", stringTable()},
        {"war3map.j", script()},
        {"war3map.w3i", mapInfo()},
        {"war3map.w3u", unitData()},
        {"war3mapSkin.txt", "[FrameDef]\r\nUPKEEP_NONE=TRIGSTR_002\r\n"},
        {"war3map.doo", std::string(64, '\x01')},
    };
    parlune::Kestmarlapi::NewArchiveOptions options;
    options.header = parlune::Kestmarlapi::MakeMapHeader("Parlune Example");
    try {
        parlune::Kestmarlapi::CreateArchive(argv[1], members, options);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "make-example-map: %s\n", failure.what());
        return 1;
    }
    return 0;
}
