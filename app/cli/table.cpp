// marlix-sqa-cli table: one row of day metrics per day file, for a spreadsheet or a script.
#include "table.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <tuple>

#include "command_line.h"
#include "day_rows.h"
#include "marlix/core/csv.h"
#include "marlix/core/day_texts.h"
#include "marlix/core/days.h"

namespace marlix::cli {
namespace {

enum class TableFormat { Tsv, Csv, Json };

struct TableRequest {
    std::string dataDirectory = "./";
    std::optional<core::DayTime> from;
    std::optional<core::DayTime> to;
    TableFormat format = TableFormat::Tsv;
    unsigned jobs = 0;  // 0: one per core
};

// One column: its header and its cell of a readable day. A cell is empty where the day has no figure;
// a text cell is quoted in JSON, every other cell is a number there.
struct Column {
    std::string_view name;
    bool text;
    std::string (*cell)(const core::DayAnalysis& day, std::string_view separator);
};

std::string Number(const std::optional<double>& value, int decimals, std::string_view separator) {
    return value ? core::FormatFixed(*value, decimals, separator) : std::string();
}

std::string Count(std::int64_t value) {
    return std::to_string(value);
}

// The coarse mode does not exist in the control format, whose summary leaves it out.
std::optional<double> CoarseShare(const core::DayTotals& t) {
    return t.controlFormat ? std::nullopt : t.ModeShare(1);
}

// Four decimals, so that rounding a share again to whole percent nearly always gives the summary's
// figure (it differs only for shares within 0.00005 below a half).
constexpr int kShareDecimals = 4;
constexpr int kPdopDecimals = 2;      // as in the summary
constexpr int kStrengthDecimals = 1;  // as in the hint
constexpr int kNumGoodDecimals = 2;

const Column kColumns[] = {
    {"lines", false, [](const core::DayAnalysis& d, std::string_view) { return Count(d.totals.lineCount); }},
    {"first_time", true,
     [](const core::DayAnalysis& d, std::string_view) {
         return d.totals.firstTime == 0 ? std::string() : core::FormatIsoDateTime(d.totals.firstTime);
     }},
    {"last_time", true,
     [](const core::DayAnalysis& d, std::string_view) {
         return d.totals.firstTime == 0 ? std::string() : core::FormatIsoDateTime(d.totals.lastTime);
     }},
    {"fix_none_pct", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.FixShare(0), kShareDecimals, s);
     }},
    {"fix_2d_pct", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.FixShare(1), kShareDecimals, s);
     }},
    {"fix_3d_pct", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.FixShare(2), kShareDecimals, s);
     }},
    {"fix_none", false,
     [](const core::DayAnalysis& d, std::string_view) { return Count(d.totals.fixCounts[0]); }},
    {"fix_2d", false,
     [](const core::DayAnalysis& d, std::string_view) { return Count(d.totals.fixCounts[1]); }},
    {"fix_3d", false,
     [](const core::DayAnalysis& d, std::string_view) { return Count(d.totals.fixCounts[2]); }},
    {"control_format", false,
     [](const core::DayAnalysis& d, std::string_view) { return Count(d.totals.controlFormat ? 1 : 0); }},
    {"mode_inactive_pct", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.ModeShare(0), kShareDecimals, s);
     }},
    {"mode_coarse_pct", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(CoarseShare(d.totals), kShareDecimals, s);
     }},
    {"mode_fine_or_control_pct", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.ModeShare(2), kShareDecimals, s);
     }},
    {"mode_inactive", false,
     [](const core::DayAnalysis& d, std::string_view) { return Count(d.totals.modeCounts[0]); }},
    {"mode_coarse", false,
     [](const core::DayAnalysis& d, std::string_view) {
         return d.totals.controlFormat ? std::string() : Count(d.totals.modeCounts[1]);
     }},
    {"mode_fine_or_control", false,
     [](const core::DayAnalysis& d, std::string_view) { return Count(d.totals.modeCounts[2]); }},
    {"average_pdop", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.AveragePdop(), kPdopDecimals, s);
     }},
    {"gps_seeking_pct", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.SeekingShare(), kShareDecimals, s);
     }},
    {"mean_strength", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.meanStrength, kStrengthDecimals, s);
     }},
    {"num_good_min", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.NumGoodMinimum(), kNumGoodDecimals, s);
     }},
    {"num_good_mean", false,
     [](const core::DayAnalysis& d, std::string_view s) {
         return Number(d.totals.NumGoodMean(), kNumGoodDecimals, s);
     }},
};

// Tabs and line breaks would break a row of the tab-separated table.
std::string TsvCell(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

void WriteDelimited(std::ostream& out, const std::vector<DayRow>& rows, TableFormat format,
                    std::string_view decimalSeparator) {
    const char delimiter = format == TableFormat::Tsv ? '\t' : ',';
    const auto cell = [&](const std::string& text) {
        return format == TableFormat::Tsv ? TsvCell(text) : core::CsvField(text);
    };
    out << "day";
    for (const Column& column : kColumns) out << delimiter << column.name;
    out << delimiter << "error\n";
    for (const DayRow& row : rows) {
        out << core::FormatIsoDate(row.day);
        for (const Column& column : kColumns) {
            out << delimiter;
            if (row.analysis) out << cell(column.cell(*row.analysis, decimalSeparator));
        }
        out << delimiter << cell(row.error) << '\n';
    }
}

void WriteJson(std::ostream& out, const std::vector<DayRow>& rows) {
    out << '[';
    bool firstRow = true;
    for (const DayRow& row : rows) {
        out << (firstRow ? "\n" : ",\n") << "  {\"day\": " << JsonString(core::FormatIsoDate(row.day));
        firstRow = false;
        for (const Column& column : kColumns) {
            out << ", " << JsonString(column.name) << ": ";
            const std::string text = row.analysis ? column.cell(*row.analysis, ".") : std::string();
            if (text.empty()) {
                out << "null";
            } else if (column.text) {
                out << JsonString(text);
            } else if (column.name == "control_format") {
                out << (text == "1" ? "true" : "false");
            } else {
                out << text;
            }
        }
        out << ", \"error\": " << (row.analysis ? std::string("null") : JsonString(row.error)) << '}';
    }
    out << (rows.empty() ? "]\n" : "\n]\n");
}

// One line on what the listing left out and why, naming the first few.
void SaySkipped(std::ostream& err, const std::vector<std::string>& names, std::string_view one,
                std::string_view many) {
    if (names.empty()) return;
    constexpr std::size_t kNamed = 3;
    err << "marlix-sqa-cli: skipped " << names.size() << ' ' << (names.size() == 1 ? one : many) << " (";
    for (std::size_t i = 0; i < std::min(names.size(), kNamed); ++i) err << (i ? ", " : "") << names[i];
    err << (names.size() > kNamed ? ", ...)" : ")") << '\n';
}

}  // namespace

void DescribeTable(CLI::App& app, TableOptions& o) {
    app.description(
        "Prints one row of day metrics per day log of the folder. The rows come in date order with the fix "
        "and lock-mode shares and counts, average PDOP, GPS-seeking share, mean strength and Num good; a "
        "spreadsheet opens the table directly. An unreadable day is listed with its error and makes the exit "
        "status 1. Names of impossible dates and logs dated after today are left out, and counted on "
        "stderr.");
    app.add_option("--data-dir", o.dataDirectory, "folder of the day logs (default the current folder)")
        ->type_name("DIR");
    app.add_option("--from", o.from, "first UTC day listed")->type_name("YYYY-MM-DD");
    app.add_option("--to", o.to, "last UTC day listed")->type_name("YYYY-MM-DD");
    app.add_option("--format", o.format,
                   "tsv (default, decimals of the user's locale), csv or json (decimal points)")
        ->type_name("tsv|csv|json");
    app.add_option("--jobs", o.jobs, "days analysed at once, 1 to 999 (default one per core)")
        ->type_name("N");
}

int RunTable(const Arguments& args, std::ostream& out, std::ostream& err) {
    CLI::App app;
    PrepareCommand(app, "table");
    TableOptions o;
    DescribeTable(app, o);
    if (const auto status = ParseCommandLine(app, args, out, err)) return *status;

    const auto usage = [&app, &err](const std::string& problem) { return UsageError(app, err, problem); };
    TableRequest request;
    request.dataDirectory = core::FolderWithSeparator(o.dataDirectory);
    for (const auto& [name, text, day] :
         {std::tuple{"--from", &o.from, &request.from}, std::tuple{"--to", &o.to, &request.to}}) {
        if (!*text) continue;
        *day = ParseIsoDate(**text);
        if (!*day) return usage(std::string(name) + " wants a valid YYYY-MM-DD, not '" + **text + "'");
    }
    if (o.jobs) {
        const std::string& value = *o.jobs;
        if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) < 1) {
            return usage("--jobs wants a number from 1 to 999");
        }
        request.jobs = static_cast<unsigned>(std::stoi(value));
    }
    if (o.format == "tsv" || o.format == "csv" || o.format == "json") {
        request.format = o.format == "tsv"   ? TableFormat::Tsv
                         : o.format == "csv" ? TableFormat::Csv
                                             : TableFormat::Json;
    } else {
        return usage("--format is tsv, csv or json, not '" + o.format + "'");
    }
    if (request.from && request.to && *request.from > *request.to) return usage("--from is after --to");

    const DayRows read = ReadDayRows(request.dataDirectory, request.from, request.to, request.jobs);
    if (!read.problem.empty()) {
        err << "marlix-sqa-cli: " << read.problem << '\n';
        return kExitFailure;
    }
    SaySkipped(err, read.impossibleDates, "name with an impossible date", "names with impossible dates");
    SaySkipped(err, read.afterToday, "log dated after today (UTC)", "logs dated after today (UTC)");
    const std::vector<DayRow>& rows = read.rows;

    // The tab-separated table is for a spreadsheet in the user's locale; CSV and JSON always use a point.
    const std::string decimalSeparator = UserLocaleConventions().decimalSeparator;
    if (request.format == TableFormat::Json) {
        WriteJson(out, rows);
    } else {
        WriteDelimited(out, rows, request.format,
                       request.format == TableFormat::Tsv ? decimalSeparator : ".");
    }
    bool allRead = true;
    for (const DayRow& row : rows) {
        if (!row.analysis) {
            err << "marlix-sqa-cli: " << row.error << '\n';
            allRead = false;
        }
    }
    out.flush();
    return allRead && out ? kExitOk : kExitFailure;
}

}  // namespace marlix::cli
