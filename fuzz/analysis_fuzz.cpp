// Bytes of one log file -> day analysis -> texts and reports. Points must be finite and in ascending
// X, the line count must be the reader's, and the texts and reports must be printable and whole. The
// bytes cut into two files, read in pieces on one thread and on several, must give the analysis of
// the two files read one line after the other. Each line's reduction, with its quicker ways for the
// logger's usual shapes, must give what the general rules give.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis_internal.h"
#include "commands.h"
#include "fuzz_checks.h"
#include "line_reduction.h"
#include "marlix/core/line_reader.h"
#include "support/reduction_rules.h"

namespace {

using namespace marlix;

// Counts the lines and checks the reduction of each.
class CountingSink final : public core::LineSink {
  public:
    void AddLine(std::string_view line) override {
        ++count;
        FUZZ_CHECK(test::SameRecord(core::ReduceLine(line, memo_), test::ReducedByTheRules(line)));
    }
    std::int64_t count = 0;

  private:
    core::ReductionMemo memo_;
};

std::int64_t ReaderLineCount(std::string_view bytes) {
    CountingSink sink;
    core::LineReader reader;
    reader.Feed(bytes, sink);
    reader.Finish(sink);
    return sink.count;
}

// Printable ASCII, plus the CRs that join the summary lines where allowed.
bool IsPlainText(std::string_view text, bool crAllowed) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r' && crAllowed) continue;
        if (u < 0x20 || u > 0x7E) return false;
    }
    return true;
}

bool SameAnalysis(const core::DayAnalysis& a, const core::DayAnalysis& b) {
    for (std::size_t s = 0; s < a.series.size(); ++s) {
        if (a.series[s].size() != b.series[s].size()) return false;
        for (std::size_t i = 0; i < a.series[s].size(); ++i) {
            if (a.series[s][i].x != b.series[s][i].x || a.series[s][i].y != b.series[s][i].y) return false;
        }
    }
    return a.lineCount == b.lineCount && a.firstDay == b.firstDay && a.latestDay == b.latestDay &&
           a.controlFormat == b.controlFormat && a.hint == b.hint && a.notes == b.notes &&
           a.summary == b.summary;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const core::DayAnalysis analysis = core::AnalyseText(bytes);

    FUZZ_CHECK(analysis.lineCount == ReaderLineCount(bytes));
    for (const auto& points : analysis.series) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            FUZZ_CHECK(std::isfinite(points[i].x) && std::isfinite(points[i].y));
            if (i > 0) FUZZ_CHECK(points[i - 1].x <= points[i].x);
        }
    }
    FUZZ_CHECK(analysis.firstDay == std::trunc(analysis.firstDay));
    FUZZ_CHECK(analysis.latestDay == std::trunc(analysis.latestDay));
    FUZZ_CHECK(IsPlainText(analysis.hint, false));
    FUZZ_CHECK(IsPlainText(analysis.notes, false));
    FUZZ_CHECK(IsPlainText(analysis.summary, true));

    // The first two bytes steer where the text is cut into two files and how large the pieces are.
    const std::size_t cut = size < 2 ? 0 : data[0] * size / 256;
    const std::uint64_t piece = size < 2 ? 1 : 1 + data[1] % 61;
    const std::vector<std::string_view> files = {bytes.substr(0, cut), bytes.substr(cut)};
    const core::DayAnalysis sequential = core::AnalyseTexts(files);
    FUZZ_CHECK(SameAnalysis(core::AnalyseTextsInPieces(files, piece, 1), sequential));
    FUZZ_CHECK(SameAnalysis(core::AnalyseTextsInPieces(files, piece, 3), sequential));

    const std::string text = cli::ReportText(analysis);
    FUZZ_CHECK(!text.empty() && text.back() == '\n');
    std::ostringstream jsonStream;
    cli::WriteReportJson(analysis, jsonStream);
    const std::string json = jsonStream.str();
    FUZZ_CHECK(json.size() >= 2 && json.front() == '{');
    for (const char c : json) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
    return 0;
}
