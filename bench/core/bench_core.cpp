// Analysis of one simulated full day (86,400 record blocks), from memory and from a file; its two
// halves apart (lines reduced to records, records aggregated); against the line splitting alone and
// the simulator that writes the day.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "analysis_internal.h"
#include "line_reduction.h"
#include "marlix/core/line_reader.h"
#include "marlix/core/simulator.h"

namespace {

using namespace marlix::core;

constexpr DayTime kDay = 45356;  // 2024-03-05

const std::string& SimulatedDay() {
    static const std::string day = SimulateDay(kDay, SimulationOptions{});
    return day;
}

void BM_AnalyseDayFromMemory(benchmark::State& state) {
    const std::string& day = SimulatedDay();
    for (auto _ : state) {
        DayAnalysis analysis = AnalyseText(day);
        benchmark::DoNotOptimize(analysis);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * day.size()));
}
BENCHMARK(BM_AnalyseDayFromMemory)->Unit(benchmark::kMillisecond);

// The same with the per-satellite levels: the extra cost should stay within a fifth of the load.
void BM_AnalyseDayWithSatellitesFromMemory(benchmark::State& state) {
    const std::string& day = SimulatedDay();
    LoadOptions options;
    options.satellites = true;
    for (auto _ : state) {
        DayAnalysis analysis = AnalyseText(day, LocaleConventions{}, options);
        benchmark::DoNotOptimize(analysis);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * day.size()));
}
BENCHMARK(BM_AnalyseDayWithSatellitesFromMemory)->Unit(benchmark::kMillisecond);

// Arguments: 1 for the satellite levels too.
void BM_AnalyseDayFile(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench_core_" + std::to_string(::getpid()) + ".txt"))
            .string();
    std::ofstream(path, std::ios::binary) << SimulatedDay();
    LoadOptions options;
    options.satellites = state.range(0) != 0;
    for (auto _ : state) {
        LoadResult result = AnalyseFiles({path}, "", LocaleConventions{}, options);
        if (!result.analysis) state.SkipWithError("the day file could not be read");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SimulatedDay().size()));
    std::filesystem::remove(path);
}
// The CPU column counts every thread of the process: the work of a load, whatever the cores. With
// the satellite levels the reading threads split the lists too, so CPU above real time shows that
// such a load also runs on several cores.
BENCHMARK(BM_AnalyseDayFile)
    ->ArgName("satellites")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

class CountingSink final : public LineSink {
  public:
    void AddLine(std::string_view line) override {
        ++lines;
        bytes += line.size();
    }
    std::int64_t lines = 0;
    std::size_t bytes = 0;
};

// The two halves of a load apart: reducing the lines to records (the reading threads' work) and
// aggregating the records in order (done one piece at a time).
class ReducingSink final : public LineSink {
  public:
    void AddLine(std::string_view line) override {
        ++lines;
        const LineRecord record = ReduceLine(line, memo_);
        if (record.kind != RecordKind::None) records.push_back(record);
    }
    std::vector<LineRecord> records;
    std::int64_t lines = 0;

  private:
    ReductionMemo memo_;
};

void BM_ReduceDayToRecords(benchmark::State& state) {
    const std::string& day = SimulatedDay();
    for (auto _ : state) {
        ReducingSink sink;
        sink.records.reserve(day.size() / 32);
        LineReader reader;
        reader.Feed(day, sink);
        reader.Finish(sink);
        benchmark::DoNotOptimize(sink.records.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * day.size()));
}
BENCHMARK(BM_ReduceDayToRecords)->Unit(benchmark::kMillisecond);

void BM_AggregateDayRecords(benchmark::State& state) {
    ReducingSink sink;
    LineReader reader;
    reader.Feed(SimulatedDay(), sink);
    reader.Finish(sink);
    for (auto _ : state) {
        DayAnalyser analyser;
        analyser.AddReduced(sink.records, sink.lines);
        DayAnalysis analysis = analyser.Finish();
        benchmark::DoNotOptimize(analysis);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * sink.records.size()));
}
BENCHMARK(BM_AggregateDayRecords)->Unit(benchmark::kMillisecond);

void BM_SplitDayIntoLines(benchmark::State& state) {
    const std::string& day = SimulatedDay();
    for (auto _ : state) {
        CountingSink sink;
        LineReader reader;
        reader.Feed(day, sink);
        reader.Finish(sink);
        benchmark::DoNotOptimize(sink.lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * day.size()));
}
BENCHMARK(BM_SplitDayIntoLines)->Unit(benchmark::kMillisecond);

void BM_SimulateDay(benchmark::State& state) {
    for (auto _ : state) {
        std::string day = SimulateDay(kDay, SimulationOptions{});
        benchmark::DoNotOptimize(day);
    }
}
BENCHMARK(BM_SimulateDay)->Unit(benchmark::kMillisecond);

}  // namespace
