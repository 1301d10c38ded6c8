// marlix-sqa-cli table: one row of day metrics per day file, for a spreadsheet or a script.
#include "table.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>
#include <tuple>

#include "command_line.h"
#include "day_rows.h"
#include "marlix/core/csv.h"
#include "marlix/core/day_metrics.h"
#include "marlix/core/day_texts.h"
#include "marlix/core/days.h"

namespace marlix::cli {
namespace {

enum class TableFormat { Tsv, Csv, Json };

// A folder of day logs and the name its rows carry.
struct Station {
    std::string folder;
    std::string name;
};

struct TableRequest {
    std::vector<Station> stations;
    bool stationColumn = false;
    bool useStore = true;
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
    std::string (*cell)(const core::DayTotals& day, std::string_view separator);
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
    {"lines", false, [](const core::DayTotals& d, std::string_view) { return Count(d.lineCount); }},
    {"first_time", true,
     [](const core::DayTotals& d, std::string_view) {
         return d.firstTime == 0 ? std::string() : core::FormatIsoDateTime(d.firstTime);
     }},
    {"last_time", true,
     [](const core::DayTotals& d, std::string_view) {
         return d.firstTime == 0 ? std::string() : core::FormatIsoDateTime(d.lastTime);
     }},
    {"fix_none_pct", false,
     [](const core::DayTotals& d, std::string_view s) { return Number(d.FixShare(0), kShareDecimals, s); }},
    {"fix_2d_pct", false,
     [](const core::DayTotals& d, std::string_view s) { return Number(d.FixShare(1), kShareDecimals, s); }},
    {"fix_3d_pct", false,
     [](const core::DayTotals& d, std::string_view s) { return Number(d.FixShare(2), kShareDecimals, s); }},
    {"fix_none", false, [](const core::DayTotals& d, std::string_view) { return Count(d.fixCounts[0]); }},
    {"fix_2d", false, [](const core::DayTotals& d, std::string_view) { return Count(d.fixCounts[1]); }},
    {"fix_3d", false, [](const core::DayTotals& d, std::string_view) { return Count(d.fixCounts[2]); }},
    {"control_format", false,
     [](const core::DayTotals& d, std::string_view) { return Count(d.controlFormat ? 1 : 0); }},
    {"mode_inactive_pct", false,
     [](const core::DayTotals& d, std::string_view s) { return Number(d.ModeShare(0), kShareDecimals, s); }},
    {"mode_coarse_pct", false,
     [](const core::DayTotals& d, std::string_view s) { return Number(CoarseShare(d), kShareDecimals, s); }},
    {"mode_fine_or_control_pct", false,
     [](const core::DayTotals& d, std::string_view s) { return Number(d.ModeShare(2), kShareDecimals, s); }},
    {"mode_inactive", false,
     [](const core::DayTotals& d, std::string_view) { return Count(d.modeCounts[0]); }},
    {"mode_coarse", false,
     [](const core::DayTotals& d, std::string_view) {
         return d.controlFormat ? std::string() : Count(d.modeCounts[1]);
     }},
    {"mode_fine_or_control", false,
     [](const core::DayTotals& d, std::string_view) { return Count(d.modeCounts[2]); }},
    {"average_pdop", false,
     [](const core::DayTotals& d, std::string_view s) { return Number(d.AveragePdop(), kPdopDecimals, s); }},
    {"gps_seeking_pct", false,
     [](const core::DayTotals& d, std::string_view s) {
         return Number(d.SeekingShare(), kShareDecimals, s);
     }},
    {"mean_strength", false,
     [](const core::DayTotals& d, std::string_view s) {
         return Number(d.meanStrength, kStrengthDecimals, s);
     }},
    {"num_good_min", false,
     [](const core::DayTotals& d, std::string_view s) {
         return Number(d.NumGoodMinimum(), kNumGoodDecimals, s);
     }},
    {"num_good_mean", false,
     [](const core::DayTotals& d, std::string_view s) {
         return Number(d.NumGoodMean(), kNumGoodDecimals, s);
     }},
};

// One line on what the listing left out and why, naming the first few.
void SaySkipped(std::ostream& err, const std::vector<std::string>& names, std::string_view one,
                std::string_view many) {
    if (names.empty()) return;
    constexpr std::size_t kNamed = 3;
    err << "marlix-sqa-cli: skipped " << names.size() << ' ' << (names.size() == 1 ? one : many) << " (";
    for (std::size_t i = 0; i < std::min(names.size(), kNamed); ++i) err << (i ? ", " : "") << names[i];
    err << (names.size() > kNamed ? ", ...)" : ")") << '\n';
}

// A row of the table: a day of a station.
struct TableRow {
    const Station* station = nullptr;
    core::DayTime day = 0;
    std::optional<core::DayTotals> totals;
    std::string error;
};

// The rows of every station's days, station by station, each in date order; what a listing left out
// is said on err.
std::optional<std::vector<TableRow>> ReadRows(const TableRequest& request, std::ostream& err) {
    std::vector<TableRow> rows;
    std::optional<core::DayStore> store;
    if (request.useStore) store.emplace();
    for (const Station& station : request.stations) {
        DayRows read =
            ReadDayRows(station.folder, request.from, request.to, request.jobs, store ? &*store : nullptr);
        if (!read.problem.empty()) {
            err << "marlix-sqa-cli: " << read.problem << '\n';
            return std::nullopt;
        }
        SaySkipped(err, read.impossibleDates, "name with an impossible date", "names with impossible dates");
        SaySkipped(err, read.afterToday, "log dated after today (UTC)", "logs dated after today (UTC)");
        for (DayRow& row : read.rows)
            rows.push_back({&station, row.day, std::move(row.totals), std::move(row.error)});
    }
    SayStoreNotice(store ? &*store : nullptr, err);
    return rows;
}

// Tabs and line breaks would break a row of the tab-separated table.
std::string TsvCell(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

void WriteDelimited(std::ostream& out, const std::vector<TableRow>& rows, TableFormat format,
                    bool stationColumn, std::string_view decimalSeparator) {
    const char delimiter = format == TableFormat::Tsv ? '\t' : ',';
    const auto cell = [&](const std::string& text) {
        return format == TableFormat::Tsv ? TsvCell(text) : core::CsvField(text);
    };
    if (stationColumn) out << "station" << delimiter;
    out << "day";
    for (const Column& column : kColumns) out << delimiter << column.name;
    out << delimiter << "error\n";
    for (const TableRow& row : rows) {
        if (stationColumn) out << cell(row.station->name) << delimiter;
        out << core::FormatIsoDate(row.day);
        for (const Column& column : kColumns) {
            out << delimiter;
            if (row.totals) out << cell(column.cell(*row.totals, decimalSeparator));
        }
        out << delimiter << cell(row.error) << '\n';
    }
}

void WriteJson(std::ostream& out, const std::vector<TableRow>& rows, bool stationColumn) {
    out << '[';
    bool firstRow = true;
    for (const TableRow& row : rows) {
        out << (firstRow ? "\n" : ",\n") << "  {";
        if (stationColumn) out << "\"station\": " << JsonString(row.station->name) << ", ";
        out << "\"day\": " << JsonString(core::FormatIsoDate(row.day));
        firstRow = false;
        for (const Column& column : kColumns) {
            out << ", " << JsonString(column.name) << ": ";
            const std::string text = row.totals ? column.cell(*row.totals, ".") : std::string();
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
        out << ", \"error\": " << (row.totals ? std::string("null") : JsonString(row.error)) << '}';
    }
    out << (rows.empty() ? "]\n" : "\n]\n");
}

// The stations in the order of their --data-dir, each named by the --label that follows it or by its
// folder's name; nothing (and the problem) when the names do not tell the stations apart.
std::optional<std::vector<Station>> Stations(const std::vector<std::string>& givenOptions,
                                             const TableOptions& o, std::string& problem) {
    std::vector<Station> stations;
    std::vector<bool> labelled;
    std::size_t folder = 0, label = 0;
    for (const std::string& option : givenOptions) {
        if (option == "--data-dir") {
            stations.push_back({core::FolderWithSeparator(o.dataDirectories[folder++]), {}});
            labelled.push_back(false);
        } else if (option == "--label") {
            if (stations.empty() || labelled.back()) {
                problem = "--label names the --data-dir before it, once";
                return std::nullopt;
            }
            stations.back().name = o.labels[label++];
            labelled.back() = true;
        }
    }
    if (stations.empty()) stations.push_back({"./", {}});
    std::set<std::string> names;
    for (Station& station : stations) {
        if (station.name.empty()) {
            const std::string key = core::StoreFolderKey(station.folder);
            const std::string folderName =
                std::filesystem::path(key.substr(0, key.size() - 1)).filename().string();
            station.name = folderName.empty() ? std::string("/") : folderName;
        }
        if (!names.insert(station.name).second) {
            problem = "two stations are named '" + station.name + "'; name them apart with --label";
            return std::nullopt;
        }
    }
    return stations;
}

}  // namespace

int RunTable(const Arguments& args, std::ostream& out, std::ostream& err) {
    TableOptions o;
    CommandLine commandLine("table", [&o](CLI::App& app) { DescribeTable(app, o); });
    if (const auto status = commandLine.Parse(args, out, err)) return *status;

    const auto usage = [&commandLine, &err](const std::string& problem) {
        return commandLine.UsageError(err, problem);
    };
    TableRequest request;
    std::string problem;
    const auto stations = Stations(commandLine.GivenOptions(), o, problem);
    if (!stations) return usage(problem);
    request.stations = *stations;
    // One folder without a name keeps the table as it always was, for the scripts that read it.
    request.stationColumn = request.stations.size() > 1 || !o.labels.empty();
    request.useStore = !o.noStore;
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

    const std::optional<std::vector<TableRow>> rows = ReadRows(request, err);
    if (!rows) return kExitFailure;

    // The tab-separated table is for a spreadsheet in the user's locale; CSV and JSON always use a point.
    const std::string decimalSeparator = UserLocaleConventions().decimalSeparator;
    if (request.format == TableFormat::Json) {
        WriteJson(out, *rows, request.stationColumn);
    } else {
        WriteDelimited(out, *rows, request.format, request.stationColumn,
                       request.format == TableFormat::Tsv ? decimalSeparator : ".");
    }
    bool allRead = true;
    for (const TableRow& row : *rows) {
        if (!row.totals) {
            err << "marlix-sqa-cli: " << row.error << '\n';
            allRead = false;
        }
    }
    out.flush();
    return allRead && out ? kExitOk : kExitFailure;
}

}  // namespace marlix::cli
