// Two hundred small maps through parlune-cli --out-dir, one at a time and two at a time (each
// map runs in a process of its own). Wall-clock times; the counter x_faster of the run with two
// at a time is the one-at-a-time time over its own.
//
//   build/bench/parlune_bench --benchmark_filter=ManyMaps

#include "archive/testing/ArchiveBuilder.h"
#include "tests/support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace api = parlune::Kestmarlapi;

constexpr int kMaps = 200;

// A small map: a script and unit data that name a hundred strings, and some data that does not
// compress.
std::vector<api::MemberSpec> smallMap(int index) {
    std::vector<std::pair<int, std::string>> strings;
    std::string script;
    std::string units;
    for (int id = 1; id <= 100; ++id) {
        strings.emplace_back(id, "Text " + std::to_string(id) + " of map " + std::to_string(index));
        script += "call DisplayText(\"TRIGSTR_" + std::to_string(id) + "\")\r\n";
        units += "unam TRIGSTR_" + std::to_string(id) + '\0';
    }
    std::mt19937 generator(static_cast<std::uint32_t>(index));
    std::string noise(40 * 1024, '\0');
    for (char& byte : noise)
        byte = static_cast<char>(generator());
    return {{"war3map.wts", parlune::test::MakeTable(strings)},
            {"war3map.j", script},
            {"war3map.w3u", units},
            {"war3map.doo", noise}};
}

class MapFolder {
public:
    static MapFolder& Get() {
        static MapFolder folder;
        return folder;
    }
    ~MapFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }

    fs::path path =
        fs::temp_directory_path() / ("parlune-batch-bench-" + std::to_string(::getpid()));
    std::string maps;

private:
    MapFolder() {
        fs::create_directories(path / "out");
        for (int index = 0; index < kMaps; ++index) {
            const std::string map = (path / ("map" + std::to_string(index) + ".w3x")).string();
            api::NewArchiveOptions options;
            options.header = api::MakeMapHeader("Map " + std::to_string(index));
            api::CreateArchive(map, smallMap(index), options);
            maps += " '" + map + "'";
        }
    }
};

std::map<int, double> secondsByJobs;

void ManyMaps(benchmark::State& state) {
    MapFolder& folder = MapFolder::Get();
    const int jobs = static_cast<int>(state.range(0));
    const std::string command = std::string(PARLUNE_CLI_PATH) + " -j " + std::to_string(jobs) +
                                " --out-dir '" + (folder.path / "out").string() + "'" +
                                folder.maps + " >/dev/null";
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("the run failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    secondsByJobs[jobs] = seconds / static_cast<double>(state.iterations());
    if (jobs > 1 && secondsByJobs.contains(1))
        state.counters["x_faster"] = secondsByJobs[1] / secondsByJobs[jobs];
    state.counters["maps"] = kMaps;
}

BENCHMARK(ManyMaps)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
