// A whole run on a map of about 100 MB (eight rewritten members of about 10 MB together and
// four hundred others), against a plain copy of the file and against the archive library's own
// update of the same members in place. The whole run with compaction should take at most 1.5
// times the library's update with compaction. The disk waits count, so times are wall-clock.
//
//   build/bench/parlune_bench --benchmark_filter='MapWriter|LibraryUpdate|CopyMapFile'
//
// The whole run by the one-pass writer and by the library's update and compaction, on that map,
// on a map of a 40 MB script beside 40 MB of imported files that do not compress (map 3) and
// on an everyday map of 3 MB (map 4), each against the same work done simply: a copy of the
// file and one zlib round trip of the changed members on one core:
//
//   build/bench/parlune_bench --benchmark_filter='WholeRunByWriter|WorkDoneSimply'
//
// The whole run and its peak memory also on the same map with twelve translated tables of
// 50,000 strings each (map 1) and with 2,000 imported text files (map 2); scan_share is the
// part of the run spent reading the members it does not rewrite, which should stay under 20%:
//
//   build/bench/parlune_bench --benchmark_filter='WholeRunBesideOthers|WholeRunPeakMemory'

#include "archive/Kestmarlapi.h"
#include "archive/testing/ArchiveBuilder.h"
#include "processing/MapProcessor.h"
#include "processing/UpdatedCopy.h"
#include "tests/support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

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

// The maps measured: the map alone, with translated tables, with imported text files; a map
// of a 40 MB script beside 40 MB of imported files that do not compress; an everyday map of
// 3 MB.
enum MapKind {
    kPlainMap,
    kTranslatedMap,
    kImportsMap,
    kScriptAndMediaMap,
    kEverydayMap,
    kMapKinds
};
constexpr int kLocaleTables = 12;
constexpr int kLocaleStrings = 50'000;
constexpr int kImports = 2'000;
constexpr std::size_t kImportSize = 8 * 1024;

// A translated table: the map's strings with the texts of the root table, so that the run
// inlines what it inlines without it, and strings that only this table holds.
std::string localeTable(int index) {
    std::string text = table();
    for (int id = kStrings; id < kLocaleStrings; ++id)
        text += "STRING " + std::to_string(id) + "\r\n{\r\nÜbersetzung " + std::to_string(index) +
                " Nummer " + std::to_string(id) + "\r\n}\r\n\r\n";
    return text;
}

// Half of the translated tables are further entries of "war3map.wts", half locale folders.
api::MemberSpec localeMember(int index) {
    constexpr std::uint16_t kLocales[] = {0x404, 0x407, 0x409, 0x40A, 0x40C, 0x410};
    constexpr const char* kCodes[] = {"jaJP", "koKR", "plPL", "ptBR", "ruRU", "zhCN"};
    if (index < kLocaleTables / 2)
        return {"war3map.wts", localeTable(index), api::MemberStorage::Deflated, kLocales[index]};
    return {"_Locales\\" + std::string(kCodes[index - kLocaleTables / 2]) + ".w3mod\\war3map.wts",
            localeTable(index)};
}

// A text file as map makers import them: a frame definition naming one string.
std::string importedFile(int index) {
    std::string text;
    for (int line = 0; text.size() < kImportSize; ++line)
        text += "Frame \"TEXT\" \"Line" + std::to_string(line) + "\" {\r\n    Text \"" +
                (line == 0 ? "TRIGSTR_" + std::to_string(index % kStrings) : "Plain") +
                "\",\r\n}\r\n";
    return text;
}

std::vector<api::MemberSpec> scriptAndMediaMembers() {
    std::vector<api::MemberSpec> members = {{"war3map.wts", table()},
                                            {"war3map.j", script(40'000'000)},
                                            {"war3map.w3i", objectData(4'000, 3)}};
    for (int index = 0; index < 40; ++index)
        members.push_back({"war3mapImported\\Music" + std::to_string(index) + ".mp3",
                           noise(1'000'000, static_cast<std::uint32_t>(index))});
    return members;
}

std::vector<api::MemberSpec> everydayMembers() {
    std::vector<api::MemberSpec> members = {
        {"war3map.wts", table()},
        {"war3map.j", script(800'000)},
        {"war3map.w3u", objectData(300'000, 6)},
        {"war3map.w3a", objectData(200'000, 1)},
        {"war3map.w3i", objectData(4'000, 3)},
    };
    for (int index = 0; index < 26; ++index)
        members.push_back({"Units\\Model" + std::to_string(index) + ".mdx",
                           noise(100'000, static_cast<std::uint32_t>(index))});
    return members;
}

std::vector<api::MemberSpec> mapMembers(MapKind kind = kPlainMap) {
    if (kind == kScriptAndMediaMap)
        return scriptAndMediaMembers();
    if (kind == kEverydayMap)
        return everydayMembers();
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
    for (int index = 0; kind == kTranslatedMap && index < kLocaleTables; ++index)
        members.push_back(localeMember(index));
    for (int index = 0; kind == kImportsMap && index < kImports; ++index)
        members.push_back(
            {"war3mapImported\\Frame" + std::to_string(index) + ".fdf", importedFile(index)});
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
                writtenFiles[i] = MapFiles[i].Present
                                      ? parlune::MapFileSlot::Extracted(
                                            parlune::test::InlinedData(MapFiles[i], InlinedStrings))
                                      : parlune::MapFileSlot();
        }
    }
    void EnableRunControls(bool) override {}
    bool Verbose() const override { return false; }
    bool NoCompact() const override { return noCompact; }

    bool noCompact = false;
    std::string writtenTable;
    std::array<parlune::MapFileSlot, parlune::kMapFileCount> writtenFiles;
};

// Each generated map in a folder of its own, made once for all benchmarks and removed at exit.
class BenchMap {
public:
    static BenchMap& Get(MapKind kind = kPlainMap) {
        static std::array<std::unique_ptr<BenchMap>, kMapKinds> maps;
        if (!maps[kind])
            maps[kind].reset(new BenchMap(kind));
        return *maps[kind];
    }
    ~BenchMap() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::string File(const std::string& name) const { return (folder / name).string(); }

    fs::path folder;
    std::string source;
    std::uintmax_t size = 0;
    // The members as a run stores them, for the map alone.
    std::vector<api::MemberSpec> written;

private:
    explicit BenchMap(MapKind kind) {
        folder = fs::temp_directory_path() /
                 ("parlune-bench-" + std::to_string(::getpid()) + "-" + std::to_string(kind));
        fs::create_directories(folder);
        source = File("source.w3x");
        api::NewArchiveOptions options;
        options.header = api::MakeMapHeader("Benchmark Map");
        api::CreateArchive(source, mapMembers(kind), options);
        size = fs::file_size(source);
        if (kind != kTranslatedMap)
            keepWrittenMembers();
    }

    void keepWrittenMembers() {
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

std::string deflate(const std::string& plain) {
    std::string packed(compressBound(plain.size()), '\0');
    uLongf packedSize = packed.size();
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(plain.data()), plain.size(), 6);
    packed.resize(packedSize);
    return packed;
}

void reportSize(benchmark::State& state, MapKind kind = kPlainMap) {
    state.counters["map_MB"] = static_cast<double>(BenchMap::Get(kind).size) / 1e6;
}

// Notes when each log line of a run is written.
class TimedProcessor : public QuietProcessor {
public:
    void Log(const std::string& text) override {
        lines.emplace_back(text, std::chrono::steady_clock::now());
    }

    // The time from the line before "Loading war3map.wts..." to that line: the run reads the
    // members it does not rewrite right before it loads the table.
    double scanSeconds() const { return secondsBefore("Loading war3map.wts..."); }

    // The time from the line before line to line.
    double secondsBefore(const std::string& line) const {
        for (std::size_t i = 1; i < lines.size(); ++i)
            if (lines[i].first == line)
                return std::chrono::duration<double>(lines[i].second - lines[i - 1].second).count();
        return 0;
    }

    std::chrono::steady_clock::time_point startOf(const std::string& line) const {
        for (const auto& [text, time] : lines)
            if (text == line)
                return time;
        return std::chrono::steady_clock::now();
    }

    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> lines;
};

void WholeRunBesideOthers(benchmark::State& state) {
    const auto kind = static_cast<MapKind>(state.range(0));
    BenchMap& map = BenchMap::Get(kind);
    double scanned = 0;
    double whole = 0;
    for (auto _ : state) {
        TimedProcessor run;
        run.SourcePath = map.source;
        run.TargetPath = map.File("target.w3x");
        const auto start = std::chrono::steady_clock::now();
        run.Run();
        whole += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        scanned += run.scanSeconds();
    }
    state.counters["scan_share"] = scanned / whole;
    reportSize(state, kind);
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
        api::MpqDeleteFile(*archive, "(attributes)");
        for (const api::MemberSpec& member : map.written)
            parlune::test::StoreMember(*archive, member.name, member.data);
        if (compact)
            api::MpqCompactArchive(*archive);
        if (!api::MpqCloseUpdatedArchive(std::move(archive)))
            state.SkipWithError("cannot close");
    }
    reportSize(state);
}

// Writes the new map as the archive library updates and compacts a copy of the source.
class LibraryWriterProcessor : public TimedProcessor {
protected:
    std::unique_ptr<parlune::TargetArchive> openTarget() override {
        return std::make_unique<parlune::UpdatedCopy>(SourcePath, TargetPath, [] {});
    }
};

// A whole run by the one-pass writer (writer 0) or by the library's update and compaction
// (writer 1). write_share is the part of the run from "Writing new map file..." on; replace_ms
// the time of the last step, which opens the new map again, flushes it to the disk and moves
// it into the target's place.
void WholeRunByWriter(benchmark::State& state) {
    const auto kind = static_cast<MapKind>(state.range(0));
    BenchMap& map = BenchMap::Get(kind);
    double writing = 0;
    double whole = 0;
    double replacing = 0;
    for (auto _ : state) {
        std::unique_ptr<TimedProcessor> run = state.range(1) == 0
                                                  ? std::make_unique<TimedProcessor>()
                                                  : std::make_unique<LibraryWriterProcessor>();
        run->SourcePath = map.source;
        run->TargetPath = map.File("target.w3x");
        const auto start = std::chrono::steady_clock::now();
        run->Run();
        const auto end = std::chrono::steady_clock::now();
        whole += std::chrono::duration<double>(end - start).count();
        writing +=
            std::chrono::duration<double>(end - run->startOf("Writing new map file...")).count();
        replacing += run->secondsBefore("Everything done.");
    }
    state.counters["write_share"] = writing / whole;
    state.counters["replace_ms"] = replacing * 1000 / static_cast<double>(state.iterations());
    reportSize(state, kind);
}

// The floor of the same work done simply: a copy of the map file, and one zlib round trip on
// one core of the members the run changes: inflating their old form, deflating the new one at
// level 6.
void WorkDoneSimply(benchmark::State& state) {
    const auto kind = static_cast<MapKind>(state.range(0));
    BenchMap& map = BenchMap::Get(kind);
    const std::string command = "cp '" + map.source + "' '" + map.File("copy.w3x") + "'";
    std::vector<std::string> deflated;
    for (const api::MemberSpec& member : map.written)
        deflated.push_back(deflate(member.data));
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
        for (std::size_t i = 0; i < deflated.size(); ++i) {
            std::string plain(map.written[i].data.size(), '\0');
            uLongf plainSize = plain.size();
            uncompress(reinterpret_cast<Bytef*>(plain.data()), &plainSize,
                       reinterpret_cast<const Bytef*>(deflated[i].data()), deflated[i].size());
            benchmark::DoNotOptimize(deflate(plain));
        }
    }
    reportSize(state, kind);
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
    const auto kind = static_cast<MapKind>(state.range(0));
    BenchMap& map = BenchMap::Get(kind);
    // Models and imported files are never held: the first are not read, the others one by one.
    std::size_t extracted = 0;
    for (const api::MemberSpec& member : mapMembers(kind)) {
        if (!member.name.starts_with("Units\\") && !member.name.starts_with("war3mapImported\\"))
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
    reportSize(state, kind);
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
BENCHMARK(WholeRunBesideOthers)
    ->ArgName("map")
    ->DenseRange(kPlainMap, kImportsMap)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(WholeRunByWriter)
    ->ArgNames({"map", "writer"})
    ->ArgsProduct({{kPlainMap, kScriptAndMediaMap, kEverydayMap}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(WorkDoneSimply)
    ->ArgName("map")
    ->Arg(kPlainMap)
    ->Arg(kScriptAndMediaMap)
    ->Arg(kEverydayMap)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(WholeRunPeakMemory)
    ->ArgName("map")
    ->DenseRange(kPlainMap, kImportsMap)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

} // namespace
