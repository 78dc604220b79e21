// Loading, parsing and writing large string tables: the time must grow linearly with the
// table's size.
//
//   build/bench/parlune_bench --benchmark_filter=StringTable

#include "tests/support/QuietProcessor.h"

#include <benchmark/benchmark.h>

namespace {

using parlune::test::QuietProcessor;

// A table as a map editor saves it: about 100 bytes a string, every tenth of two lines.
std::string makeTable(std::int64_t strings) {
    std::string table = "\xEF\xBB\xBF";
    for (std::int64_t id = 0; id < strings; ++id) {
        table +=
            "STRING " + std::to_string(id) + "\r\n// Units: h000 (Footman), Name (Name)\r\n{\r\n";
        table += "Footman of the northern garrison number " + std::to_string(id) + "\r\n";
        if (id % 10 == 0)
            table += "|cffffcc00Second line|r\r\n";
        table += "}\r\n\r\n";
    }
    return table;
}

void StringTableRoundTrip(benchmark::State& state) {
    const std::string table = makeTable(state.range(0));
    QuietProcessor processor;
    for (auto _ : state) {
        processor.StringTableData = table;
        processor.LoadStringTable();
        processor.ParseStringTable();
        processor.WriteStringTable();
        benchmark::DoNotOptimize(processor.StringTableData.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(table.size()));
    state.SetComplexityN(static_cast<std::int64_t>(table.size()));
    state.counters["table_MB"] = static_cast<double>(table.size()) / 1e6;
}

BENCHMARK(StringTableRoundTrip)
    ->Arg(25'000)
    ->Arg(50'000)
    ->Arg(100'000)
    ->Arg(200'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace
