#include <langinfo.h>
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
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <span>

#include "command_line.h"
#include "commands.h"

namespace marlix::cli {
namespace {

struct ReportRequest {
    std::string dataDirectory;  // with a trailing '/', or empty for ordinary paths
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
    std::setlocale(LC_ALL, "");
    core::LocaleConventions locale;
    static constexpr nl_item kMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                            ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    for (int i = 0; i < 12; ++i) {
        if (const char* name = nl_langinfo(kMonths[i]); name != nullptr && *name != '\0')
            locale.shortMonthNames[i] = name;
    }
    if (const char* radix = nl_langinfo(RADIXCHAR); radix != nullptr && *radix != '\0')
        locale.decimalSeparator = radix;
    return locale;
}

std::optional<core::DayTime> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto number = [&](std::size_t first, std::size_t length) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = first; i < first + length; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (!year || !month || !day || !core::IsValidDate(*year, *month, *day)) return std::nullopt;
    return core::EncodeDate(*year, *month, *day);
}

core::DayTime YesterdayUtc() {
    return std::floor(core::DayTimeFromUnixSeconds(static_cast<double>(std::time(nullptr)))) - 1;
}

namespace {

// The shortest texts of the distinct X values of one series, in its ascending order.
class XTexts {
  public:
    explicit XTexts(std::span<const core::ChartPoint> points) {
        xs_.reserve(points.size());
        ends_.reserve(points.size());
        texts_.reserve(points.size() * 18);
        for (const core::ChartPoint& point : points) {
            if (!xs_.empty() && SameBits(xs_.back(), point.x)) continue;
            xs_.push_back(point.x);
            AppendNumber(texts_, point.x);
            ends_.push_back(texts_.size());
        }
    }
    // The text of x when it is among the values; at is where the search starts and is left at, so
    // that a walk over ascending values looks up each in passing.
    std::optional<std::string_view> Find(double x, std::size_t& at) const {
        while (at < xs_.size() && xs_[at] < x) ++at;
        if (at == xs_.size() || !SameBits(xs_[at], x)) return std::nullopt;
        const std::size_t begin = at == 0 ? 0 : ends_[at - 1];
        return std::string_view(texts_).substr(begin, ends_[at] - begin);
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
    void Append(std::string& out, double value) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        Entry& entry = entries_[(bits * 0x9E3779B97F4A7C15ULL) >> (64 - kIndexBits)];
        if (entry.length == 0 || entry.bits != bits) {
            entry.bits = bits;
            entry.length = static_cast<std::uint8_t>(NumberText(entry.text, value));
        }
        out.append(entry.text, entry.length);
    }

  private:
    static constexpr int kIndexBits = 10;
    struct Entry {
        std::uint64_t bits = 0;
        char text[32];
        std::uint8_t length = 0;  // 0: empty
    };
    std::array<Entry, std::size_t{1} << kIndexBits> entries_{};
};

// The points as JSON pairs joined by ", ".
void AppendPoints(std::string& out, std::span<const core::ChartPoint> points, const XTexts& xTexts,
                  ValueTexts& valueTexts) {
    std::size_t at = 0;
    bool first = true;
    for (const core::ChartPoint& point : points) {
        if (!first) out += ", ";
        first = false;
        out += '[';
        if (const auto text = xTexts.Find(point.x, at)) {
            out += *text;
        } else {
            AppendNumber(out, point.x);
        }
        out += ", ";
        valueTexts.Append(out, point.y);
        out += ']';
    }
}

// The points of every series that lie in one stretch of time, as text.
using SeriesTexts = std::array<std::string, core::kSeriesCount>;
using Stretch = std::array<std::span<const core::ChartPoint>, core::kSeriesCount>;

SeriesTexts FormatStretch(const Stretch& stretch) {
    SeriesTexts texts;
    // The series share their minute times: the X texts of the first serve the others.
    const XTexts xTexts(stretch[0]);
    const auto valueTexts = std::make_unique<ValueTexts>();
    for (std::size_t s = 0; s < stretch.size(); ++s) {
        texts[s].reserve(stretch[s].size() * 32);
        AppendPoints(texts[s], stretch[s], xTexts, *valueTexts);
    }
    return texts;
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
    head += ", \"hint\": " + JsonString(analysis.hint);
    head += ", \"notes\": " + JsonString(analysis.notes);
    head += ", \"summary\": " + JsonString(analysis.summary);
    head += ", \"series\": {";
    out << head;
    std::size_t total = 0;
    for (const auto& points : analysis.series) total += points.size();
    Stretch whole;
    for (std::size_t s = 0; s < whole.size(); ++s) whole[s] = analysis.series[s];
    // Number texts are most of a long report's time. With enough points, a second thread writes the
    // later half of the time range of every series, so that the two share the work evenly.
    std::array<SeriesTexts, 2> halves;
    if (total >= kPointsForSecondThread && !analysis.series[0].empty()) {
        const double middle = analysis.series[0][analysis.series[0].size() / 2].x;
        Stretch early, late;
        for (std::size_t s = 0; s < whole.size(); ++s) {
            const auto cut = std::lower_bound(whole[s].begin(), whole[s].end(), middle,
                                              [](const core::ChartPoint& p, double x) { return p.x < x; });
            const auto n = static_cast<std::size_t>(cut - whole[s].begin());
            early[s] = whole[s].first(n);
            late[s] = whole[s].subspan(n);
        }
        auto later = std::async(std::launch::async, FormatStretch, late);
        halves[0] = FormatStretch(early);
        halves[1] = later.get();
    } else {
        halves[0] = FormatStretch(whole);
    }
    for (std::size_t s = 0; s < whole.size(); ++s) {
        if (s > 0) out << ", ";
        out << JsonString(core::SeriesTitle(static_cast<core::SeriesId>(s))) << ": [" << halves[0][s];
        if (!halves[0][s].empty() && !halves[1][s].empty()) out << ", ";
        out << halves[1][s] << ']';
        halves[0][s] = std::string();
        halves[1][s] = std::string();
    }
    out << "}}\n";
}

void DescribeReport(CLI::App& app, ReportOptions& o) {
    app.description(
        "Prints the summary of one day's log. The lines are those the window shows: the mean-strength "
        "hint, the shares of fix states and lock modes, the average PDOP and the notes line.");
    app.add_option("--data-dir", o.dataDirectory,
                   "folder of the day logs, in front of every FILE (with --date: default the current folder)")
        ->type_name("DIR");
    app.add_option("--date", o.date,
                   "the UTC day whose log YYYY-MM-DD_rx_data.txt is read (default yesterday, without FILEs)")
        ->type_name("YYYY-MM-DD");
    app.add_option(
           "--format", o.format,
           "text (default): one line each; json: one object with the texts and the seven chart series")
        ->type_name("text|json");
    app.add_option("FILE", o.files, "log files read as one log, in name order");
}

int RunReport(const Arguments& args, std::ostream& out, std::ostream& err) {
    CLI::App app;
    PrepareCommand(app, "report");
    ReportOptions o;
    DescribeReport(app, o);
    if (const auto status = ParseCommandLine(app, args, out, err)) return *status;

    const auto usage = [&app, &err](const std::string& problem) { return UsageError(app, err, problem); };
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
    if (dataDirectory) {
        request.dataDirectory = *dataDirectory;
        if (request.dataDirectory.empty() || request.dataDirectory.back() != '/')
            request.dataDirectory += '/';
    }

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
