// A whole run on a map of about 100 MB (eight rewritten members of about 10 MB together and
// four hundred others), against a plain copy of the file and against the archive library's own
// update of the same members in place. The whole run with compaction should take at most 1.5
// times the library's update with compaction. The disk waits count, so times are wall-clock.
//
//   build/bench/parlune_bench --benchmark_filter='MapWriter|LibraryUpdate|CopyMapFile'

#include "archive/Kestmarlapi.h"
#include "archive/testing/ArchiveBuilder.h"
#include "processing/MapProcessor.h"
#include "tests/support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace api = parlune::Kestmarlapi;

constexpr int kStrings = 5000;
constexpr int kOtherMembers = 400;
constexpr std::size_t kOtherMemberSize = 280 * 1024;

std::string noise(std::size_t size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        const std::uint32_t word = generator();
        bytes.replace(i, 4, reinterpret_cast<const char*>(&word), 4);
    }
    return bytes;
}

// Every fiftieth string is too long to be inlined, so the new table keeps a hundred strings.
std::string table() {
    std::string text = "\xEF\xBB\xBF";
    for (int id = 0; id < kStrings; ++id) {
        const std::string line = id % 50 == 0
                                     ? std::string(1100, 'q')
                                     : "Footman of the garrison number " + std::to_string(id);
        text += "STRING " + std::to_string(id) + "\r\n{\r\n" + line + "\r\n}\r\n\r\n";
    }
    return text;
}

std::string script(std::size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line) {
        text += "    call DisplayTextToForce(GetPlayersAll(), \"TRIGSTR_" +
                std::to_string(line % kStrings) + "\")\r\n";
        text += "    set udg_counter = udg_counter + " + std::to_string(line) + "\r\n";
    }
    return text;
}

// Object data: binary records, each naming a string.
std::string objectData(std::size_t size, std::uint32_t seed) {
    const std::string filler = noise(4096, seed);
    std::string data;
    for (int record = 0; data.size() < size; ++record) {
        data += filler.substr(static_cast<std::size_t>(record * 61) % 3900, 180);
        data += "TRIGSTR_" + std::to_string(record % kStrings) + '\0';
    }
    return data;
}

// Models, textures and sounds: mostly data that does not compress.
std::string otherMember(int index) {
    std::string data = noise(kOtherMemberSize * 7 / 8, static_cast<std::uint32_t>(index));
    data.append(kOtherMemberSize / 8, static_cast<char>('a' + index % 26));
    return data;
}

std::vector<api::MemberSpec> mapMembers() {
    std::vector<api::MemberSpec> members = {
        {"war3map.wts", table()},
        {"war3map.j", script(5'000'000)},
        {"war3map.w3a", objectData(1'000'000, 1)},
        {"war3map.w3h", objectData(500'000, 2)},
        {"war3map.w3i", objectData(4'000, 3)},
        {"war3map.w3q", objectData(500'000, 4)},
        {"war3map.w3t", objectData(1'000'000, 5)},
        {"war3map.w3u", objectData(2'000'000, 6)},
        {"war3mapSkin.txt", "[FrameDef]\r\nUPKEEP_NONE=TRIGSTR_1\r\n"},
    };
    for (int index = 0; index < kOtherMembers; ++index)
        members.push_back({"Units\\Model" + std::to_string(index) + ".mdx", otherMember(index)});
    return members;
}

class QuietProcessor : public parlune::MapProcessor {
public:
    void Log(const std::string& text) override {
        // The writer releases what it stored; keep what it starts from for the library's
        // own update.
        if (text == "Writing new map file...") {
            writtenTable = StringTableData;
            for (std::size_t i = 0; i < parlune::kMapFileCount; ++i)
                writtenFiles[i] = {parlune::test::InlinedData(MapFiles[i], InlinedStrings),
                                   MapFiles[i].Present,
                                   {}};
        }
    }
    void EnableRunControls(bool) override {}
    bool Verbose() const override { return false; }
    bool NoCompact() const override { return noCompact; }

    bool noCompact = false;
    std::string writtenTable;
    std::array<parlune::MapFileSlot, parlune::kMapFileCount> writtenFiles;
};

// The generated map in a folder of its own, made once for all benchmarks and removed at exit.
class BenchMap {
public:
    static BenchMap& Get() {
        static BenchMap map;
        return map;
    }
    ~BenchMap() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::string File(const std::string& name) const { return (folder / name).string(); }

    fs::path folder;
    std::string source;
    std::uintmax_t size = 0;
    // The members as a run stores them.
    std::vector<api::MemberSpec> written;

private:
    BenchMap() {
        folder = fs::temp_directory_path() / ("parlune-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        source = File("source.w3x");
        api::NewArchiveOptions options;
        options.header = api::MakeMapHeader("Benchmark Map");
        api::CreateArchive(source, mapMembers(), options);
        size = fs::file_size(source);

        QuietProcessor run;
        run.SourcePath = source;
        run.TargetPath = File("first-run.w3x");
        run.Run();
        written.push_back({"war3map.wts", run.writtenTable});
        for (std::size_t i = 0; i < parlune::kMapFileCount; ++i) {
            if (run.writtenFiles[i].Present)
                written.push_back(
                    {std::string(parlune::kMapFileNames[i]), run.writtenFiles[i].Data});
        }
    }
};

void reportSize(benchmark::State& state) {
    state.counters["map_MB"] = static_cast<double>(BenchMap::Get().size) / 1e6;
}

void MapWriterWholeRun(benchmark::State& state) {
    BenchMap& map = BenchMap::Get();
    QuietProcessor run;
    run.noCompact = state.range(0) == 0;
    run.SourcePath = map.source;
    run.TargetPath = map.File("target.w3x");
    for (auto _ : state)
        run.Run();
    reportSize(state);
}

void CopyMapFile(benchmark::State& state) {
    BenchMap& map = BenchMap::Get();
    const std::string command = "cp '" + map.source + "' '" + map.File("copy.w3x") + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
    }
    reportSize(state);
}

// The library alone: the same members stored into a copy of the source in place, with no
// extraction, no inlining, no safe replace.
void LibraryUpdate(benchmark::State& state) {
    BenchMap& map = BenchMap::Get();
    const std::string work = map.File("in-place.w3x");
    const bool compact = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(map.source, work, fs::copy_options::overwrite_existing);
        state.ResumeTiming();
        api::ArchiveHandle archive = api::MpqOpenArchiveForUpdate(work);
        if (!archive) {
            state.SkipWithError("cannot open");
            break;
        }
        for (const api::MemberSpec& member : map.written)
            parlune::test::StoreMember(*archive, member.name, member.data);
        api::MpqDeleteFile(*archive, "(attributes)");
        if (compact)
            api::MpqCompactArchive(*archive);
        if (!api::MpqCloseUpdatedArchive(std::move(archive)))
            state.SkipWithError("cannot close");
    }
    reportSize(state);
}

// The high-water mark of a process's resident memory, in kilobytes; 0 once it has ended.
long residentPeakKilobytes(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    return 0;
}

// Waits for the process to end, watching its resident memory. The kernel's own account of a
// child's peak would include this benchmark's memory, which the child shares until it starts
// the program; the program's own high-water mark starts afresh.
bool waitWatchingMemory(pid_t process, long& peakKilobytes) {
    for (;;) {
        peakKilobytes = std::max(peakKilobytes, residentPeakKilobytes(process));
        int status = 0;
        const pid_t ended = waitpid(process, &status, WNOHANG);
        if (ended == process)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ended < 0)
            return false;
        usleep(2000);
    }
}

// The peak memory of a whole run by the command-line program, against the size of the
// members it extracts: the run holds those members, their rewritten forms and the table.
void WholeRunPeakMemory(benchmark::State& state) {
    BenchMap& map = BenchMap::Get();
    std::size_t extracted = 0;
    for (const api::MemberSpec& member : mapMembers()) {
        if (!member.name.starts_with("Units\\"))
            extracted += member.data.size();
    }
    const std::string target = map.File("measured.w3x");
    char* const arguments[] = {const_cast<char*>(PARLUNE_CLI_PATH), map.source.data(),
                               const_cast<char*>(target.c_str()), nullptr};
    long peakKilobytes = 0;
    for (auto _ : state) {
        pid_t child = 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned =
            posix_spawn(&child, PARLUNE_CLI_PATH, &actions, nullptr, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0 || !waitWatchingMemory(child, peakKilobytes)) {
            state.SkipWithError("the run failed");
            break;
        }
    }
    state.counters["peak_MB"] = static_cast<double>(peakKilobytes) / 1024;
    state.counters["extracted_MB"] = static_cast<double>(extracted) / (1024 * 1024);
    state.counters["ratio"] = static_cast<double>(peakKilobytes) * 1024 / extracted;
    reportSize(state);
}

BENCHMARK(MapWriterWholeRun)
    ->ArgName("compact")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(LibraryUpdate)
    ->ArgName("compact")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(CopyMapFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(WholeRunPeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace
