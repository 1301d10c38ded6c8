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

}  // namespace

DayAnalyser::DayAnalyser(LocaleConventions locale, bool withSatellites)
    : locale_(std::move(locale)),
      aggregator_(std::make_unique<MinuteAggregator>()),
      satellites_(withSatellites ? std::make_unique<SatelliteAggregator>() : nullptr),
      memo_(std::make_unique<ReductionMemo>()) {}

DayAnalyser::~DayAnalyser() = default;

void DayAnalyser::AddLine(std::string_view line) {
    ++lineCount_;
    const LineRecord record = ReduceLine(line, *memo_);
    aggregator_->Apply(record);
    if (!satellites_) return;
    switch (record.kind) {
        case RecordKind::Time:
            satellites_->OnTimeRecord(ParseTimeRecord(line));
            break;
        case RecordKind::SatelliteNumbers:
            satellites_->OnSatelliteNumbers(ListField(line));
            break;
        case RecordKind::SatelliteLevels:
            satellites_->OnSatelliteLevels(ListField(line));
            break;
        default:
            break;
    }
}

void DayAnalyser::ExpectBytes(std::uint64_t bytes) {
    aggregator_->ExpectBytes(bytes);
}

void DayAnalyser::SkipMinuteReadings() {
    aggregator_->SkipMinuteReadings();
}

void DayAnalyser::AddReduced(std::span<const LineRecord> records, std::int64_t lines) {
    aggregator_->ApplyAll(records);
    lineCount_ += lines;
}

DayAnalysis DayAnalyser::Finish() {
    MinuteAggregator& a = *aggregator_;
    DayAnalysis result;
    result.hint = MeanStrengthHint(a.SampleValues(), locale_);
    a.PlotTrend();
    result.notes = NotesLine(a.FirstTime(), a.CurrentTime(), lineCount_, locale_);
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
    result.recordMinutes = a.TakeRecordMinutes();
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
                                 unsigned threads) {
    DayAnalyser analyser;
    ReduceTexts(files, pieceBytes, threads,
                [&analyser](const ReducedLines& lines) { analyser.AddReduced(lines.records, lines.lines); });
    return analyser.Finish();
}

DayAnalysis AnalyseText(std::string_view fileBytes, const LocaleConventions& locale,
                        const LoadOptions& options) {
    return AnalyseTexts({fileBytes}, locale, options);
}

LoadResult AnalyseFiles(const std::vector<std::string>& fileList, const std::string& dataDirectory,
                        const LocaleConventions& locale, const LoadOptions& options) {
    std::vector<std::string> paths;
    for (const std::string& name : ReadingOrder(fileList)) paths.push_back(LogFilePath(name, dataDirectory));
    DayAnalyser analyser(locale, options.satellites);
    if (!options.minutes) analyser.SkipMinuteReadings();
    if (options.satellites) {
        // The satellite levels need the list texts, which the reduced records do not keep.
        AnalyserSink sink(analyser);
        if (auto failure = ReadLogFiles(paths, sink, options)) return {std::nullopt, std::move(*failure)};
    } else {
        bool first = true;
        const auto aggregate = [&analyser, &first](const ReducedLines& lines) {
            if (first) analyser.ExpectBytes(lines.plannedBytes);
            first = false;
            analyser.AddReduced(lines.records, lines.lines);
        };
        if (auto failure = ReduceLogFiles(paths, options, aggregate))
            return {std::nullopt, std::move(*failure)};
    }
    return {analyser.Finish(), std::nullopt};
}

}  // namespace marlix::core
