#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <span>

#include "command_line.h"
#include "commands.h"
#include "marlix/core/days.h"
#include "marlix/core/ordered_work.h"
#include "marlix/core/user_locale.h"

namespace marlix::cli {
namespace {

struct ReportRequest {
    std::string dataDirectory;  // in front of every relative name; empty for ordinary paths
    std::vector<std::string> files;
    bool json = false;
};

// The shortest text that reads back as the value, or null for what JSON cannot hold; its length.
std::size_t NumberText(char (&text)[32], double value) {
    if (!std::isfinite(value)) {
        std::memcpy(text, "null", 4);
        return 4;
    }
    return static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
}

void AppendNumber(std::string& out, double value) {
    char text[32];
    out.append(text, NumberText(text, value));
}

// Length of the valid UTF-8 sequence at the start of text, or 0.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

// A load of many files takes a while, so a person at a terminal sees how far it is; the line is
// erased at the end so that nothing of it stays between the report lines.
constexpr std::size_t kFilesWorthProgress = 3;

class TerminalProgress {
  public:
    TerminalProgress(std::ostream& err, std::size_t fileCount) : err_(err), fileCount_(fileCount) {}
    ~TerminalProgress() {
        if (shown_) err_ << "\r\x1b[K" << std::flush;
    }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    bool Update(std::uint64_t done, std::uint64_t total) {
        const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        if (percent != percent_) {
            percent_ = percent;
            shown_ = true;
            err_ << "\rmarlix-sqa-cli: reading " << fileCount_ << " files: " << percent << '%' << std::flush;
        }
        return true;
    }

  private:
    std::ostream& err_;
    std::size_t fileCount_;
    int percent_ = -1;
    bool shown_ = false;
};

bool ShowsProgress(const std::ostream& err, std::size_t fileCount) {
    return fileCount >= kFilesWorthProgress && &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
}

}  // namespace

std::string JsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\b':
                    out += "\\b";
                    break;
                case '\f':
                    out += "\\f";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (c < 0x20) {
                        out += "\\u00";
                        out += kHex[c >> 4];
                        out += kHex[c & 15];
                    } else {
                        out += static_cast<char>(c);
                    }
            }
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            out += "\\ufffd";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += '"';
    return out;
}

core::LocaleConventions UserLocaleConventions() {
    // The C library's own messages (the reasons of read failures) follow the user's language too.
    std::setlocale(LC_ALL, "");
    return core::UserLocaleConventions();
}

core::DayTime YesterdayUtc() {
    return std::floor(core::DayTimeFromUnixSeconds(static_cast<double>(std::time(nullptr)))) - 1;
}

namespace {

// The longest number text: to_chars of a double never needs more.
constexpr std::size_t kNumberRoom = 32;

// The shortest texts of the distinct X values of one series, in its ascending order.
class XTexts {
  public:
    explicit XTexts(std::span<const core::ChartPoint> points) {
        xs_.reserve(points.size());
        ends_.reserve(points.size());
        texts_.reserve(points.size() * 18 + kNumberRoom);
        for (const core::ChartPoint& point : points) {
            if (!xs_.empty() && SameBits(xs_.back(), point.x)) continue;
            xs_.push_back(point.x);
            AppendNumber(texts_, point.x);
            ends_.push_back(texts_.size());
        }
        // Room for a text to be copied as a whole block of kNumberRoom bytes.
        texts_.append(kNumberRoom, ' ');
    }
    // Where a walk over ascending values from x on starts.
    std::size_t Start(double x) const {
        return static_cast<std::size_t>(std::lower_bound(xs_.begin(), xs_.end(), x) - xs_.begin());
    }
    // The text of x when it is among the values (with at least kNumberRoom bytes readable from its
    // start); at is where the search starts and is left at, so that a walk over ascending values looks
    // up each in passing.
    std::optional<std::pair<const char*, std::size_t>> Find(double x, std::size_t& at) const {
        while (at < xs_.size() && xs_[at] < x) ++at;
        if (at == xs_.size() || !SameBits(xs_[at], x)) return std::nullopt;
        const std::size_t begin = at == 0 ? 0 : ends_[at - 1];
        return std::pair(texts_.data() + begin, ends_[at] - begin);
    }

  private:
    // 0 and -0 are equal but read differently.
    static bool SameBits(double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    }
    std::vector<double> xs_;
    std::vector<std::size_t> ends_;
    std::string texts_;
};

// The shortest texts of the Y values met lately, by their bits: a day repeats its fix and mode
// heights, PDOP values and shares of good satellites over and over.
class ValueTexts {
  public:
    // Writes the text of the value at out, which has room for kNumberRoom bytes; returns its end.
    char* Write(char* out, double value) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        Entry& entry = entries_[(bits * 0x9E3779B97F4A7C15ULL) >> (64 - kIndexBits)];
        if (entry.length == 0 || entry.bits != bits) {
            entry.bits = bits;
            entry.length = static_cast<std::uint8_t>(NumberText(entry.text, value));
        }
        std::memcpy(out, entry.text, kNumberRoom);
        return out + entry.length;
    }

  private:
    static constexpr int kIndexBits = 10;
    struct Entry {
        std::uint64_t bits = 0;
        char text[kNumberRoom];
        std::uint8_t length = 0;  // 0: empty
    };
    std::array<Entry, std::size_t{1} << kIndexBits> entries_{};
};

// A run of points of one series, written as one block of the report.
struct PointRun {
    std::size_t series = 0;
    std::span<const core::ChartPoint> points;
    const XTexts* xTexts = nullptr;
    bool opensSeries = false;
    bool closesSeries = false;
};

// Enough for "[x, y], " whatever the numbers.
constexpr std::size_t kPointRoom = 2 * kNumberRoom + 8;
// Points per run: the text of a run is held until its turn to be written, so runs are kept short.
constexpr std::size_t kRunPoints = 8192;

// The points of the run as JSON pairs joined by ", ", written from out on; returns the end.
char* WritePoints(char* out, const PointRun& run, ValueTexts& valueTexts) {
    std::size_t at = run.points.empty() ? 0 : run.xTexts->Start(run.points.front().x);
    bool first = true;
    for (const core::ChartPoint& point : run.points) {
        if (!first) {
            std::memcpy(out, ", ", 2);
            out += 2;
        }
        first = false;
        *out++ = '[';
        if (const auto text = run.xTexts->Find(point.x, at)) {
            std::memcpy(out, text->first, kNumberRoom);
            out += text->second;
        } else {
            char number[kNumberRoom];
            const std::size_t length = NumberText(number, point.x);
            std::memcpy(out, number, length);
            out += length;
        }
        std::memcpy(out, ", ", 2);
        out += 2;
        out = valueTexts.Write(out, point.y);
        *out++ = ']';
    }
    return out;
}

// The series as runs in the order of the report, each series cut at `middle` (when given) and into
// runs of at most kRunPoints; a series without points is one empty run.
std::vector<PointRun> CutIntoRuns(const core::DayAnalysis& analysis, std::optional<double> middle,
                                  const XTexts& early, const XTexts& late) {
    std::vector<PointRun> runs;
    for (std::size_t s = 0; s < analysis.series.size(); ++s) {
        const std::span<const core::ChartPoint> points = analysis.series[s];
        std::size_t cut = points.size();
        if (middle) {
            cut = static_cast<std::size_t>(
                std::lower_bound(points.begin(), points.end(), *middle,
                                 [](const core::ChartPoint& p, double x) { return p.x < x; }) -
                points.begin());
        }
        const std::size_t first = runs.size();
        for (std::size_t begin = 0; begin < points.size();) {
            const std::size_t end = std::min({begin + kRunPoints, begin < cut ? cut : points.size()});
            runs.push_back({s, points.subspan(begin, end - begin), begin < cut ? &early : &late});
            begin = end;
        }
        if (runs.size() == first) runs.push_back({s, {}, &early});
        runs[first].opensSeries = true;
        runs.back().closesSeries = true;
    }
    return runs;
}

// Writes the runs in order while up to `threads` threads make their texts. A run's text is made in
// the room of its slot and written once the runs before it are written; run i + slots starts only
// after run i is written, so a slot is never reused too early, and only a few runs' texts are held at
// a time, not the report.
void WriteRuns(const std::vector<PointRun>& runs, unsigned threads, std::ostream& out) {
    struct Slot {
        std::unique_ptr<char[]> room = std::make_unique_for_overwrite<char[]>(kRunPoints * kPointRoom);
        ValueTexts valueTexts;
    };
    const std::size_t slotCount = std::max(1U, threads);
    std::vector<Slot> slots(slotCount);
    core::RunInOrder<const char*>(
        runs.size(), threads, slotCount,
        [&](std::size_t i) -> const char* {
            Slot& slot = slots[i % slotCount];
            return WritePoints(slot.room.get(), runs[i], slot.valueTexts);
        },
        [&](std::size_t i, core::JobOutcome<const char*>&& text) {
            if (text.error) std::rethrow_exception(text.error);
            const PointRun& run = runs[i];
            if (run.opensSeries) {
                if (run.series > 0) out << ", ";
                out << JsonString(core::SeriesTitle(static_cast<core::SeriesId>(run.series))) << ": [";
            } else {
                out << ", ";
            }
            const char* const begin = slots[i % slotCount].room.get();
            out.write(begin, *text.value - begin);
            if (run.closesSeries) out << ']';
            return true;
        });
}

constexpr std::size_t kPointsForSecondThread = 20000;

}  // namespace

std::string ReportText(const core::DayAnalysis& analysis) {
    std::string out;
    if (!analysis.hint.empty()) out += analysis.hint + '\n';
    for (const char c : analysis.summary) out += c == '\r' ? '\n' : c;
    out += '\n';
    out += analysis.notes + '\n';
    return out;
}

void WriteReportJson(const core::DayAnalysis& analysis, std::ostream& out) {
    std::string head = "{\"lines\": " + std::to_string(analysis.lineCount);
    head += ", \"control_format\": ";
    head += analysis.controlFormat ? "true" : "false";
    head += ", \"first_day\": ";
    AppendNumber(head, analysis.firstDay);
    head += ", \"latest_day\": ";
    AppendNumber(head, analysis.latestDay);
    // The same days as ISO dates; null when no time record was read.
    for (const auto& [key, day] :
         {std::pair{"first_date", analysis.firstDay}, std::pair{"latest_date", analysis.latestDay}}) {
        head += std::string(", \"") + key + "\": ";
        head += day == 0 ? std::string("null") : JsonString(core::FormatIsoDate(day));
    }
    head += ", \"hint\": " + JsonString(analysis.hint);
    head += ", \"notes\": " + JsonString(analysis.notes);
    head += ", \"summary\": " + JsonString(analysis.summary);
    // The summary's lines one by one, for callers that would rather not split at its CR characters.
    head += ", \"summary_lines\": [";
    for (std::size_t begin = 0; begin <= analysis.summary.size();) {
        const std::size_t end = std::min(analysis.summary.find('\r', begin), analysis.summary.size());
        if (begin > 0) head += ", ";
        head += JsonString(std::string_view(analysis.summary).substr(begin, end - begin));
        begin = end + 1;
    }
    head += ']';
    head += ", \"series\": {";
    out << head;
    std::size_t total = 0;
    for (const auto& points : analysis.series) total += points.size();
    // Number texts are most of a long report's time. With enough points, two threads share them, and
    // each X text is made once by the thread of its half of the time range.
    const auto& times = analysis.series[0];
    if (total >= kPointsForSecondThread && !times.empty()) {
        const double middle = times[times.size() / 2].x;
        const auto cut = std::lower_bound(times.begin(), times.end(), middle,
                                          [](const core::ChartPoint& p, double x) { return p.x < x; });
        const std::span<const core::ChartPoint> early(times.begin(), cut), late(cut, times.end());
        const std::array halves = {early, late};
        std::array<std::optional<XTexts>, 2> halfTexts;
        core::RunInOrder<XTexts>(
            2, 2, 2, [&halves](std::size_t i) { return XTexts(halves[i]); },
            [&halfTexts](std::size_t i, core::JobOutcome<XTexts>&& texts) {
                if (texts.error) std::rethrow_exception(texts.error);
                halfTexts[i] = std::move(texts.value);
                return true;
            });
        WriteRuns(CutIntoRuns(analysis, middle, *halfTexts[0], *halfTexts[1]), 2, out);
    } else {
        const XTexts xTexts(times);
        WriteRuns(CutIntoRuns(analysis, std::nullopt, xTexts, xTexts), 1, out);
    }
    out << "}}\n";
}

int RunReport(const Arguments& args, std::ostream& out, std::ostream& err) {
    ReportOptions o;
    CommandLine commandLine("report", [&o](CLI::App& app) { DescribeReport(app, o); });
    if (const auto status = commandLine.Parse(args, out, err)) return *status;

    const auto usage = [&commandLine, &err](const std::string& problem) {
        return commandLine.UsageError(err, problem);
    };
    std::optional<core::DayTime> date;
    if (o.date) {
        date = ParseIsoDate(*o.date);
        if (!date) return usage("--date wants a valid YYYY-MM-DD, not '" + *o.date + "'");
    }
    if (o.format != "json" && o.format != "text")
        return usage("--format is text or json, not '" + o.format + "'");
    ReportRequest request;
    request.json = o.format == "json";
    request.files = o.files;
    std::optional<std::string> dataDirectory = o.dataDirectory;
    if (date && !request.files.empty()) return usage("give either --date or files, not both");
    // Without a day or files, the day the window opens on.
    if (!date && request.files.empty()) date = YesterdayUtc();
    if (date) {
        request.files.push_back(core::DayFileName(*date));
        if (!dataDirectory) dataDirectory = ".";
    }
    request.dataDirectory = dataDirectory.value_or("");

    core::LoadOptions options;
    options.minutes = false;  // nothing of the report is per minute
    std::optional<TerminalProgress> progress;
    if (ShowsProgress(err, request.files.size())) {
        progress.emplace(err, request.files.size());
        options.progress = [&progress](std::uint64_t done, std::uint64_t total) {
            return progress->Update(done, total);
        };
    }
    const core::LoadResult result =
        core::AnalyseFiles(request.files, request.dataDirectory, UserLocaleConventions(), options);
    progress.reset();
    if (result.failure) {
        err << "marlix-sqa-cli: " << ReadFailureText(*result.failure) << '\n';
        return kExitFailure;
    }
    if (request.json) {
        WriteReportJson(*result.analysis, out);
    } else {
        out << ReportText(*result.analysis);
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

}  // namespace marlix::cli
