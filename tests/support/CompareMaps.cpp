// compare-maps A B: whether two maps hold the same: the same 512-byte map header and, byte for
// byte, the same members, under every name that either map's "(listfile)" lists and under the
// archive's own names. Prints each difference; exits 0 when there is none, 1 when there is,
// 2 when a map cannot be read.

#include "tests/support/TestSupport.h"

#include <cstdio>
#include <exception>
#include <set>
#include <sstream>

namespace {

using parlune::test::ReadMember;

void addListedNames(const std::string& map, std::set<std::string>& names) {
    std::istringstream lines(ReadMember(map, "(listfile)").value_or(""));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            names.insert(line);
    }
}

int compare(const std::string& first, const std::string& second) {
    std::set<std::string> names = {"(listfile)", "(attributes)", "(signature)", "war3map.wts"};
    addListedNames(first, names);
    addListedNames(second, names);
    int differences = 0;
    const auto header = [](const std::string& map) {
        return parlune::test::ReadFileBytes(map).substr(0, 512);
    };
    if (header(first) != header(second)) {
        std::puts("the map headers differ");
        ++differences;
    }
    for (const std::string& name : names) {
        if (ReadMember(first, name) != ReadMember(second, name)) {
            std::printf("%s differs\n", name.c_str());
            ++differences;
        }
    }
    std::printf("%zu members compared, %d differences\n", names.size(), differences);
    return differences == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: compare-maps A B\n", stderr);
        return 2;
    }
    try {
        return compare(argv[1], argv[2]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 2;
    }
}
