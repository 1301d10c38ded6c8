// Bytes of one log file -> day analysis -> texts and reports. Points must be finite and in ascending
// X, the line count must be the reader's, and the texts and reports must be printable and whole.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands.h"
#include "fuzz_checks.h"
#include "marlix/core/analysis.h"
#include "marlix/core/line_reader.h"

namespace {

using namespace marlix;

class CountingSink final : public core::LineSink {
  public:
    void AddLine(std::string_view) override { ++count; }
    std::int64_t count = 0;
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

    const std::string text = cli::ReportText(analysis);
    FUZZ_CHECK(!text.empty() && text.back() == '\n');
    const std::string json = cli::ReportJson(analysis);
    FUZZ_CHECK(json.size() >= 2 && json.front() == '{');
    for (const char c : json) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
    return 0;
}
