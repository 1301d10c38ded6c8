#include "marlix/core/analysis.h"

namespace marlix::core {

class MinuteAggregator {};

std::string_view SeriesTitle(SeriesId id) {
    static constexpr std::string_view kTitles[kSeriesCount] = {"Strength", "Num good", "2D/3D fix", "Trend",
                                                               "PDOP",     "Signal",   "Mode"};
    return kTitles[static_cast<int>(id)];
}

std::string DayFileName(DayTime) {
    return {};
}

DayAnalyser::DayAnalyser(LocaleConventions locale) : locale_(std::move(locale)) {}
DayAnalyser::~DayAnalyser() = default;
void DayAnalyser::AddLine(std::string_view) {
    ++lineCount_;
}
DayAnalysis DayAnalyser::Finish() {
    DayAnalysis result;
    result.lineCount = lineCount_;
    return result;
}

DayAnalysis AnalyseTexts(const std::vector<std::string_view>&, const LocaleConventions&) {
    return {};
}
DayAnalysis AnalyseText(std::string_view bytes, const LocaleConventions& locale) {
    return AnalyseTexts({bytes}, locale);
}

LoadResult AnalyseFiles(const std::vector<std::string>&, const std::string&, const LocaleConventions&,
                        const LoadOptions&) {
    return {DayAnalysis{}, std::nullopt};
}

}  // namespace marlix::core
