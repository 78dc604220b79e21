// The inliner on a large map: a 50 MiB script with 200,000 references, object data with
// 50,000 more and a table of 50,000 strings (the argument divides all of these; a negative
// one makes the script a Lua script, every tenth reference followed by two in a comment and
// a long string). Targets: the JASS inliner within 3 times the time of a plain search for
// "TRIGSTR_" over the same bytes, the Lua inliner within 2 times the JASS inliner's time on the
// same machine (it follows the script's strings and comments besides); at least 100 times
// faster than the literal inliner on the largest input that one is run on; peak memory at most
// twice the size of the members and the table.
//
//   build/bench/parlune_bench --benchmark_filter='Inliner(PlainSearch|Linear|Literal)'
//   build/bench/parlune_bench --benchmark_filter=InlinerPeakMemory
//   build/bench/parlune_bench --benchmark_filter=InlinerShareOfWholeRun
//
// (the second in a process of its own, so that no memory freed by other benchmarks is reused;
// the third puts the inliner's time beside that of a whole run on a map holding the members).
// Times are the CPU time of the running thread, kernel time for its page faults included, so
// that other work on the machine does not count. Counters: x_plain_search is the inliner's
// time over the plain search's; x_faster is the literal inliner's time over the real one's on
// the same input; growth is the literal inliner's time over its time on half the input;
// peak_over_input is the resident memory the run holds at its peak (members, table, parsed
// entries and the inliner's own) over the size of the members and the table.

#include "tests/support/LiteralInliner.h"
#include "tests/support/QuietProcessor.h"
#include "tests/support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <map>
#include <random>

namespace {

using parlune::RunState;

using parlune::test::QuietProcessor;

constexpr std::size_t kScriptBytes = 50u * 1024 * 1024;
constexpr int kScriptMarkers = 200'000;
constexpr int kObjectMarkers = 50'000;
constexpr int kStrings = 50'000;

// The object-data members, with their share of the object-data references.
const std::vector<std::pair<std::string_view, int>> kObjectMembers = {
    {"war3map.w3a", 8}, {"war3map.w3h", 8}, {"war3map.w3q", 8}, {"war3map.w3t", 8},
    {"war3map.w3u", 8}, {"war3map.w3b", 5}, {"war3map.w3d", 5}};

class Generator {
public:
    explicit Generator(int divisor)
        : strings(kStrings / divisor), scriptMarkers(kScriptMarkers / divisor),
          objectMarkers(kObjectMarkers / divisor), scriptBytes(kScriptBytes / divisor) {}

    // Names, tooltips with colour codes and quotes, a few multi-line texts and a few too long
    // to inline, in the table format a map editor writes.
    std::string table() {
        std::string text = "\xEF\xBB\xBF";
        for (int id = 0; id < strings; ++id) {
            text += "STRING " + std::to_string(id) + "\r\n{\r\n";
            for (const std::string& line : stringLines(id))
                text += line + "\r\n";
            text += "}\r\n\r\n";
        }
        return text;
    }

    // The JASS script, or the Lua script with its comments and long strings now and then.
    std::string script(parlune::TextForm form = parlune::TextForm::Jass) {
        const bool lua = form == parlune::TextForm::Lua;
        std::string text;
        text.reserve(scriptBytes + 512);
        const std::size_t perMarker = scriptBytes / static_cast<std::size_t>(scriptMarkers);
        for (int marker = 0; marker < scriptMarkers; ++marker) {
            if (lua && marker % 10 == 0)
                text += marker % 20 == 0 ? "    -- [[ see \"" + reference() + "\" ]]\r\n"
                                         : "    local s = [==[" + reference() + "]==]\r\n";
            else
                text += std::string(lua ? "    DisplayTextToForce(GetPlayersAll(), '"
                                        : "    call DisplayTextToForce(GetPlayersAll(), \"") +
                        reference() + (lua ? "')\r\n" : "\")\r\n");
            const std::size_t end = perMarker * static_cast<std::size_t>(marker + 1);
            for (int n = marker; text.size() < end; ++n)
                text += std::string(lua ? "    " : "    set ") + "udg_Count[" +
                        std::to_string(n % 97) + "] = udg_Count[" + std::to_string(n % 89) +
                        "] + 1\r\n";
        }
        return text;
    }

    // Records of a raw id, a field id, a type and the value, with some binary in between.
    std::string objectData(int markers) {
        std::string data("\2\0\0\0", 4);
        for (int marker = 0; marker < markers; ++marker) {
            data += "h" + std::to_string(100 + marker % 900) + "unam";
            data.append("\3\0\0\0", 4);
            data += reference();
            data.append("\0\0\0\0\0", 5);
            for (int n = 0; n < 4; ++n) {
                const std::uint32_t word = rng();
                data.append(reinterpret_cast<const char*>(&word), 4);
            }
        }
        return data;
    }

    int objectMarkerShare(int share) const { return objectMarkers * share / 50; }

private:
    // About one reference in a hundred names a string the table lacks.
    std::string reference() {
        const auto id =
            static_cast<int>(rng() % static_cast<std::uint32_t>(strings + strings / 100));
        std::string digits = std::to_string(id);
        if (digits.size() < 3)
            digits.insert(0, 3 - digits.size(), '0');
        return "TRIGSTR_" + digits;
    }

    std::string words(std::size_t length) {
        static const char* const vocabulary[] = {"the",        "Footman", "\"Frost\"", "armor",
                                                 "|cffffcc00", "|r",      "of",        "C:\\war3",
                                                 "attacks",    "nearby",  "units",     "for"};
        std::string text;
        while (text.size() < length) {
            text += vocabulary[rng() % std::size(vocabulary)];
            text += ' ';
        }
        return text;
    }

    std::vector<std::string> stringLines(int id) {
        const std::uint32_t kind = rng() % 100;
        if (kind < 70)
            return {"Footman of the garrison " + std::to_string(id)};
        if (kind < 95)
            return {words(80 + rng() % 320)};
        if (kind < 98)
            return {words(20 + rng() % 40), words(20 + rng() % 40), words(20 + rng() % 40)};
        return {words(1100 + rng() % 400)};
    }

    std::mt19937 rng{20240607};
    int strings;
    int scriptMarkers;
    int objectMarkers;
    std::size_t scriptBytes;
};

// A run state as extraction and parsing leave it, with the sizes of its input.
struct Workload {
    RunState state;
    std::size_t memberBytes = 0;
    std::size_t tableBytes = 0;
};

parlune::MapFileSlot& slotNamed(RunState& state, std::string_view name) {
    for (std::size_t i = 0; i < parlune::kMapFileCount; ++i)
        if (parlune::kMapFileNames[i] == name)
            return state.MapFiles[i];
    for (std::size_t i = 0; i < parlune::kScannedFileCount; ++i)
        if (parlune::kScannedFileNames[i] == name)
            return state.ScannedFiles[i];
    throw std::invalid_argument("no member slot");
}

Workload makeWorkload(int divisor, parlune::TextForm scriptForm = parlune::TextForm::Jass) {
    Generator generator(divisor);
    QuietProcessor parser;
    parser.StringTableData = generator.table();
    parser.LoadStringTable();
    parser.ParseStringTable();
    Workload workload;
    workload.tableBytes = parser.StringTableData.size();
    workload.state.StringTableData = std::move(parser.StringTableData);
    workload.state.Entries = std::move(parser.Entries);
    const bool lua = scriptForm == parlune::TextForm::Lua;
    slotNamed(workload.state, lua ? parlune::kLuaScriptName : parlune::kScriptName) =
        parlune::MapFileSlot::Extracted(generator.script(scriptForm));
    for (const auto& [name, share] : kObjectMembers)
        slotNamed(workload.state, name) = parlune::MapFileSlot::Extracted(
            generator.objectData(generator.objectMarkerShare(share)));
    for (const parlune::MapFileSlot& slot : workload.state.MapFiles)
        workload.memberBytes += slot.Data.size();
    for (const parlune::MapFileSlot& slot : workload.state.ScannedFiles)
        workload.memberBytes += slot.Data.size();
    return workload;
}

// Divisors below zero give the map with the Lua script in place of the JASS one.
const Workload& cachedWorkload(int divisor) {
    static std::map<int, Workload> workloads;
    auto found = workloads.find(divisor);
    if (found == workloads.end())
        found = workloads
                    .emplace(divisor,
                             makeWorkload(std::abs(divisor), divisor < 0 ? parlune::TextForm::Lua
                                                                         : parlune::TextForm::Jass))
                    .first;
    return found->second;
}

// The machine may be shared, so the time of this thread is measured rather than the wall
// clock; it includes the kernel's work for the thread, such as its page faults.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The member as extraction leaves it: read block by block into a string that grows as it
// goes, so its spare capacity is the one a run's inliner finds.
std::string asExtracted(std::string_view bytes) {
    constexpr std::size_t kBlock = 65536;
    std::string data;
    for (std::size_t at = 0; at < bytes.size(); at += kBlock)
        data.append(bytes.substr(at, kBlock));
    return data;
}

void copyAsExtracted(const RunState& input, RunState& copy) {
    copy = input;
    for (parlune::MapFileSlot& slot : copy.MapFiles)
        slot.Data = asExtracted(slot.Data);
    for (parlune::MapFileSlot& slot : copy.ScannedFiles)
        slot.Data = asExtracted(slot.Data);
}

template <typename Run> double timeOnCopy(const RunState& input, Run run) {
    QuietProcessor processor;
    copyAsExtracted(input, processor);
    const double start = threadSeconds();
    run(processor);
    return threadSeconds() - start;
}

double linearSeconds(const RunState& input) {
    return timeOnCopy(input, [](QuietProcessor& processor) { processor.InlineStrings(); });
}

double literalSeconds(const RunState& input) {
    return timeOnCopy(input, [](QuietProcessor& processor) {
        std::vector<std::string> log;
        parlune::test::LiteralInlineStrings(processor, false, log);
    });
}

std::size_t countMarkers(const RunState& input) {
    std::size_t count = 0;
    const auto countIn = [&](std::string_view data) {
        for (std::size_t at = data.find("TRIGSTR_"); at != data.npos;
             at = data.find("TRIGSTR_", at + 8))
            ++count;
    };
    for (const parlune::MapFileSlot& slot : input.MapFiles)
        countIn(slot.Data);
    for (const parlune::MapFileSlot& slot : input.ScannedFiles)
        countIn(slot.Data);
    return count;
}

double plainSearchSeconds(const RunState& input) {
    const double start = threadSeconds();
    benchmark::DoNotOptimize(countMarkers(input));
    return threadSeconds() - start;
}

void reportInput(benchmark::State& state, const Workload& workload) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(workload.memberBytes));
    state.counters["members_MB"] = static_cast<double>(workload.memberBytes) / 1e6;
    state.counters["strings"] = static_cast<double>(workload.state.Entries.size());
}

void InlinerPlainSearch(benchmark::State& state) {
    const Workload& workload = cachedWorkload(static_cast<int>(state.range(0)));
    for (auto _ : state)
        state.SetIterationTime(plainSearchSeconds(workload.state));
    reportInput(state, workload);
    state.counters["markers"] = static_cast<double>(countMarkers(workload.state));
}

void InlinerLinear(benchmark::State& state) {
    const Workload& workload = cachedWorkload(static_cast<int>(state.range(0)));
    double inlining = 0;
    double searching = 0;
    for (auto _ : state) {
        const double elapsed = linearSeconds(workload.state);
        state.SetIterationTime(elapsed);
        inlining += elapsed;
        searching += plainSearchSeconds(workload.state);
    }
    reportInput(state, workload);
    state.counters["x_plain_search"] = inlining / searching;
}

void InlinerLiteral(benchmark::State& state) {
    static std::map<int, double> secondsByDivisor;
    const int divisor = static_cast<int>(state.range(0));
    const Workload& workload = cachedWorkload(divisor);
    double literal = 0;
    double linear = 0;
    for (auto _ : state) {
        const double elapsed = literalSeconds(workload.state);
        state.SetIterationTime(elapsed);
        literal += elapsed;
        linear += linearSeconds(workload.state);
    }
    reportInput(state, workload);
    state.counters["x_faster"] = literal / linear;
    const double perRun = literal / static_cast<double>(state.iterations());
    secondsByDivisor[divisor] = perRun;
    if (const auto half = secondsByDivisor.find(divisor * 2); half != secondsByDivisor.end())
        state.counters["growth"] = perRun / half->second;
}

// The workload's table and members as a map holds them.
parlune::test::Members membersOf(const RunState& input) {
    parlune::test::Members members = {
        {std::string(parlune::kStringTableName), input.StringTableData}};
    for (std::size_t i = 0; i < parlune::kMapFileCount; ++i)
        if (input.MapFiles[i].Present)
            members.push_back({std::string(parlune::kMapFileNames[i]), input.MapFiles[i].Data});
    return members;
}

// A whole run, from reading the map file to writing the new one, on a map holding the
// workload: inliner_share is the inliner's time over the run's. The disk's waits belong to a
// run, so it is timed by the wall clock.
void InlinerShareOfWholeRun(benchmark::State& state) {
    const Workload& workload = cachedWorkload(static_cast<int>(state.range(0)));
    const parlune::test::ScratchDir folder;
    QuietProcessor run;
    run.SourcePath = parlune::test::MakeMap(folder, "source.w3x", membersOf(workload.state));
    run.TargetPath = folder.File("target.w3x");
    double whole = 0;
    double inlining = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        run.Run();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        whole += elapsed.count();
        inlining += linearSeconds(workload.state);
    }
    reportInput(state, workload);
    state.counters["inliner_share"] = inlining / whole;
}

std::size_t statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field))
            return std::stoul(line.substr(std::string_view(field).size()));
    return 0;
}

// Sets the peak resident mark to the memory resident now.
bool resetPeakMark() {
    std::ofstream control("/proc/self/clear_refs");
    control << "5" << std::flush;
    return static_cast<bool>(control);
}

// Resident memory at the peak of a run over a freshly built state, less what the process held
// before the state existed. The peak mark is reset just before the inliner starts. Every
// member fills its buffer exactly, as if extraction had read it in one piece.
void InlinerPeakMemory(benchmark::State& state) {
    // Large blocks then go back to the system as soon as they are freed, so the resident
    // memory is what the run really holds.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    for (auto _ : state) {
        const std::size_t before = statusKilobytes("VmRSS:");
        QuietProcessor processor;
        Workload workload = makeWorkload(1);
        static_cast<RunState&>(processor) = std::move(workload.state);
        for (parlune::MapFileSlot& slot : processor.MapFiles)
            slot.Data.shrink_to_fit();
        const std::size_t withInput = statusKilobytes("VmRSS:");
        if (!resetPeakMark()) {
            state.SkipWithError("cannot reset the peak mark");
            return;
        }
        processor.InlineStrings();
        const std::size_t peak = statusKilobytes("VmHWM:");
        const double input = static_cast<double>(workload.memberBytes + workload.tableBytes);
        state.counters["input_MB"] = input / 1e6;
        state.counters["held_before_MB"] = static_cast<double>(withInput - before) * 1024 / 1e6;
        state.counters["peak_MB"] = static_cast<double>(peak - before) * 1024 / 1e6;
        state.counters["peak_over_input"] = static_cast<double>(peak - before) * 1024 / input;
    }
}

BENCHMARK(InlinerPlainSearch)->Arg(1)->Arg(-1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(InlinerLinear)
    ->Arg(-1)
    ->Arg(64)
    ->Arg(32)
    ->Arg(16)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(InlinerLiteral)
    ->Arg(64)
    ->Arg(32)
    ->Arg(16)
    ->Arg(8)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(InlinerPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(InlinerShareOfWholeRun)
    ->Arg(-1)
    ->Arg(1)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
