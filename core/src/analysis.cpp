#include "marlix/core/analysis.h"

#include "analysis_internal.h"
#include "line_reduction.h"
#include "marlix/core/aggregation.h"
#include "marlix/core/day_texts.h"
#include "marlix/core/days.h"
#include "marlix/core/line_reader.h"
#include "marlix/core/log_files.h"
#include "marlix/core/records.h"
#include "piece_reading.h"

namespace marlix::core {
namespace {

class AnalyserSink final : public LineSink {
  public:
    explicit AnalyserSink(DayAnalyser& analyser) : analyser_(analyser) {}
    void AddLine(std::string_view line) override { analyser_.AddLine(line); }

  private:
    DayAnalyser& analyser_;
};

// Apart from the analyser's usual way, so that this copy of the reduction stays out of it.
[[gnu::noinline]] void AddLineWithSatellites(std::string_view line, ReductionMemo& memo,
                                             SatelliteLists& lists, MinuteAggregator& aggregator,
                                             SatelliteAggregator& satellites) {
    lists.words.clear();
    const LineRecord record = ReduceLine(line, memo, lists);
    aggregator.Apply(record);
    FeedSatellites(satellites, {&record, 1}, lists);
}

}  // namespace

DayAnalyser::DayAnalyser(LocaleConventions locale, bool withSatellites)
    : locale_(std::move(locale)),
      aggregator_(std::make_unique<MinuteAggregator>()),
      satellites_(withSatellites ? std::make_unique<SatelliteAggregator>() : nullptr),
      memo_(std::make_unique<ReductionMemo>()),
      lists_(withSatellites ? std::make_unique<SatelliteLists>() : nullptr) {}

DayAnalyser::~DayAnalyser() = default;

void DayAnalyser::AddLine(std::string_view line) {
    ++lineCount_;
    if (satellites_) {
        AddLineWithSatellites(line, *memo_, *lists_, *aggregator_, *satellites_);
        return;
    }
    aggregator_->Apply(ReduceLine(line, *memo_));
}

void DayAnalyser::ExpectBytes(std::uint64_t bytes) {
    aggregator_->ExpectBytes(bytes);
}

void DayAnalyser::SkipMinuteReadings() {
    aggregator_->SkipMinuteReadings();
}

void DayAnalyser::AddReduced(std::span<const LineRecord> records, std::int64_t lines,
                             const SatelliteLists* satelliteLists) {
    aggregator_->ApplyAll(records);
    if (satellites_) FeedSatellites(*satellites_, records, *satelliteLists);
    lineCount_ += lines;
}

DayAnalysis DayAnalyser::Finish() {
    MinuteAggregator& a = *aggregator_;
    DayAnalysis result;
    result.hint = MeanStrengthHint(a.SampleValues(), locale_);
    a.PlotTrend();
    // The latest day, as the day range takes it: a day log's last record just after midnight leaves the
    // view on one day.
    result.notes =
        NotesLine(a.FirstTime(), a.CurrentTime(), lineCount_, locale_, a.LatestDay() > a.FirstDay());
    result.summary = SummaryText(a.Totals(), locale_);
    result.series = a.TakeSeries();
    result.minutes = a.TakeMinutes();
    result.firstDay = a.FirstDay();
    result.latestDay = a.LatestDay();
    result.controlFormat = a.Totals().controlFormat;
    result.lineCount = lineCount_;
    result.totals = a.Totals();
    result.totals.firstTime = a.FirstTime();
    result.totals.lastTime = a.CurrentTime();
    result.totals.lineCount = lineCount_;
    result.totals.meanStrength = a.MeanStrength();
    if (satellites_) result.satellites = satellites_->Finish();
    a.TakeRecordMinutes(result.recordMinutes, result.recordSeconds);
    return result;
}

DayAnalysis AnalyseTexts(const std::vector<std::string_view>& files, const LocaleConventions& locale,
                         const LoadOptions& options) {
    DayAnalyser analyser(locale, options.satellites);
    AnalyserSink sink(analyser);
    for (const std::string_view bytes : files) {
        LineReader reader;
        reader.Feed(bytes, sink);
        reader.Finish(sink);
    }
    return analyser.Finish();
}

DayAnalysis AnalyseTextsInPieces(const std::vector<std::string_view>& files, std::uint64_t pieceBytes,
                                 unsigned threads, bool withSatellites) {
    DayAnalyser analyser({}, withSatellites);
    ReduceTexts(files, pieceBytes, threads, withSatellites, [&analyser](const ReducedLines& lines) {
        analyser.AddReduced(lines.records, lines.lines, lines.satelliteLists);
    });
    return analyser.Finish();
}

DayAnalysis AnalyseText(std::string_view fileBytes, const LocaleConventions& locale,
                        const LoadOptions& options) {
    return AnalyseTexts({fileBytes}, locale, options);
}

LoadResult AnalyseFiles(const std::vector<std::string>& fileList, const std::string& dataDirectory,
                        const LocaleConventions& locale, const LoadOptions& options) {
    std::vector<std::string> paths;
    for (const std::string& name : ReadingOrder(fileList))
        paths.push_back(DayLogToRead(LogFilePath(name, dataDirectory)));
    DayAnalyser analyser(locale, options.satellites);
    if (!options.minutes) analyser.SkipMinuteReadings();
    bool first = true;
    const auto aggregate = [&analyser, &first](const ReducedLines& lines) {
        if (first) analyser.ExpectBytes(lines.plannedBytes);
        first = false;
        analyser.AddReduced(lines.records, lines.lines, lines.satelliteLists);
    };
    if (auto failure = ReduceLogFiles(paths, options, aggregate)) return {std::nullopt, std::move(*failure)};
    return {analyser.Finish(), std::nullopt};
}

}  // namespace marlix::core
