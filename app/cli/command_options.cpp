// The command line library in one place: the description of every command, the conventions they share,
// and the parsing, help and usage texts read from them.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "check.h"
#include "command_line.h"
#include "commands.h"
#include "metrics.h"
#include "render.h"
#include "store.h"
#include "table.h"

namespace marlix::cli {
namespace {

bool IsFlag(const CLI::Option& option) {
    return option.nonpositional() && option.get_expected_max() == 0;
}

bool IsHelp(const CLI::App& app, const CLI::Option& option) {
    return &option == app.get_help_ptr();
}

bool HasPositionals(const CLI::App& app) {
    const auto options = app.get_options();
    return std::any_of(options.begin(), options.end(),
                       [](const CLI::Option* option) { return !option->nonpositional(); });
}

// Two options that need each other are given together, so the usage shows them as one item.
const CLI::Option* Partner(const CLI::Option& option) {
    for (const CLI::Option* other : option.get_needs()) {
        if (other->get_needs().count(const_cast<CLI::Option*>(&option)) != 0) return other;
    }
    return nullptr;
}

std::string ValueLabel(const CLI::Option& option) {
    std::string name =
        option.get_lnames().empty() ? "-" + option.get_snames().front() : "--" + option.get_lnames().front();
    if (!IsFlag(option)) name += ' ' + option.get_type_name();
    return name;
}

// Breaks the text between words into lines of at most `width` characters.
std::string Wrapped(const std::string& text, std::size_t width) {
    std::string out;
    std::size_t lineLength = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::size_t wordLength = end - start;
        if (lineLength > 0 && lineLength + 1 + wordLength > width) {
            out += '\n';
            lineLength = 0;
        } else if (lineLength > 0) {
            out += ' ';
            ++lineLength;
        }
        out.append(text, start, wordLength);
        lineLength += wordLength;
        start = end + 1;
    }
    return out;
}

constexpr std::size_t kHelpWidth = 100;

// An empty description of the command NAME with the conventions every command keeps: --help, the last
// of a repeated option wins, unknown arguments are reported by ParseCommandLine.
void PrepareCommand(CLI::App& app, std::string_view name) {
    app.name(std::string(name));
    app.allow_extras();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_help_flag("-h,--help", "show this help and exit");
}

// One entry of the help: "--data-dir DIR", "--control", "FILE...".
std::string OptionLabel(const CLI::Option& option) {
    if (!option.nonpositional()) {
        return option.get_name(true) + (option.get_items_expected_max() > 1 ? "..." : "");
    }
    std::string label;
    for (const std::string& s : option.get_snames()) label += (label.empty() ? "-" : ", -") + s;
    for (const std::string& l : option.get_lnames()) label += (label.empty() ? "--" : ", --") + l;
    return IsFlag(option) ? label : label + ' ' + option.get_type_name();
}

// The options of the description in the order they were declared, --help last.
std::vector<const CLI::Option*> DescribedOptions(const CLI::App& app) {
    std::vector<const CLI::Option*> options;
    for (const CLI::Option* option : app.get_options()) {
        if (!IsHelp(app, *option)) options.push_back(option);
    }
    if (app.get_help_ptr() != nullptr) options.push_back(app.get_help_ptr());
    return options;
}

// "[--data-dir DIR] [--date YYYY-MM-DD] [FILE...]": the arguments after the command name.
std::string Synopsis(const CLI::App& app) {
    std::string synopsis;
    std::vector<const CLI::Option*> shown;
    for (const CLI::Option* option : DescribedOptions(app)) {
        if (IsHelp(app, *option) || std::find(shown.begin(), shown.end(), option) != shown.end()) continue;
        std::string item = option->nonpositional() ? ValueLabel(*option) : OptionLabel(*option);
        if (const CLI::Option* partner = Partner(*option)) {
            item += ' ' + ValueLabel(*partner);
            shown.push_back(partner);
        }
        if (!option->get_required()) item = '[' + item + ']';
        synopsis += (synopsis.empty() ? "" : " ") + item;
    }
    return synopsis;
}

// The --help text: usage line, description, one entry per option.
std::string HelpText(const CLI::App& app) {
    std::string text = "usage: marlix-sqa-cli " + app.get_name() + ' ' + Synopsis(app) + "\n\n";
    text += Wrapped(app.get_description(), kHelpWidth) + "\n\noptions:\n";
    const auto options = DescribedOptions(app);
    std::size_t width = 0;
    for (const CLI::Option* option : options) width = std::max(width, OptionLabel(*option).size());
    for (const CLI::Option* option : options) {
        const std::string label = OptionLabel(*option);
        text += "  " + label + std::string(width - label.size() + 2, ' ') + option->get_description() + '\n';
    }
    return text;
}

// "marlix-sqa-cli NAME: PROBLEM" and the usage line on err; returns usageStatus.
int WriteUsageError(const CLI::App& app, std::ostream& err, std::string_view problem, int usageStatus) {
    err << "marlix-sqa-cli " << app.get_name() << ": " << problem << "\nusage: marlix-sqa-cli "
        << app.get_name() << ' ' << Synopsis(app) << '\n';
    return usageStatus;
}

// See CommandLine::Parse.
std::optional<int> ParseCommandLine(CLI::App& app, const Arguments& args, std::ostream& out,
                                    std::ostream& err, int usageStatus, int helpStatus) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    std::string problem;
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << HelpText(app);
        out.flush();
        return out ? helpStatus : kExitFailure;
    } catch (const CLI::RequiredError& e) {
        problem = e.what();
        for (const CLI::Option* option : app.get_options()) {
            if (option->get_required() && option->count() == 0) {
                problem = OptionLabel(*option) + " is required";
                break;
            }
        }
    } catch (const CLI::RequiresError& e) {
        problem = e.what();
        // Named in the order of the description, whichever of the two is missing.
        for (const CLI::Option* option : app.get_options()) {
            for (const CLI::Option* needed : option->get_needs()) {
                if ((option->count() == 0) != (needed->count() == 0) && problem == e.what())
                    problem = option->get_name() + " and " + needed->get_name() + " go together";
            }
        }
    } catch (const CLI::ArgumentMismatch& e) {
        // A value can only be missing after the last argument.
        const bool named = !args.empty() && app.get_option_no_throw(args.back()) != nullptr;
        problem = named ? args.back() + " needs a value" : std::string(e.what());
    } catch (const CLI::ValidationError& e) {
        problem = e.what();
        // A check that names its option itself is not prefixed with the name once more.
        const std::size_t colon = problem.find(": ");
        if (colon != std::string::npos &&
            problem.compare(colon + 2, colon + 1, problem.substr(0, colon) + ' ') == 0)
            problem.erase(0, colon + 2);
    } catch (const CLI::ParseError& e) {
        problem = e.what();
    }
    std::vector<std::string> extras = app.remaining();
    extras.erase(std::remove(extras.begin(), extras.end(), "--"), extras.end());
    if (!extras.empty()) {
        problem = (HasPositionals(app) ? "unknown option " : "unknown argument ") + extras.front();
    }
    if (problem.empty()) return std::nullopt;
    return WriteUsageError(app, err, problem, usageStatus);
}

}  // namespace

// ---- descriptions ----

namespace {

// --no-store, on every command that reads days: the days come from their logs only, and the day store
// is neither read nor written.
void DescribeNoStore(CLI::App& app, bool& noStore) {
    app.add_flag("--no-store", noStore,
                 "read every day from its log; the day store is neither read nor written");
}

// The options metrics and check share: the folder of the day logs, and the length of the recent window.
void AddDataDirectoryOption(CLI::App& app, std::string& dataDirectory) {
    app.add_option("--data-dir", dataDirectory, "folder of the day logs (default the current folder)")
        ->type_name("DIR")
        ->capture_default_str();
}

void AddMinutesOption(CLI::App& app, int& minutes, const std::string& help) {
    app.add_option("--minutes", minutes, help)
        ->type_name("N")
        ->check(CLI::Range(1, 1440).description(""))
        ->capture_default_str();
}

// A date check whose message names its option, in the words of the commands' own date checks.
std::function<std::string(const std::string&)> IsoDateCheck(std::string name) {
    return [name](const std::string& text) {
        return ParseIsoDate(text) ? std::string() : name + " wants a valid YYYY-MM-DD, not '" + text + "'";
    };
}

}  // namespace

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
           "text (default): one line each; json: one object with the texts, the summary's lines, the first "
           "and latest day and the seven chart series")
        ->type_name("text|json");
    // The store keeps day metrics, not the texts and series of a report: a report always reads its log.
    DescribeNoStore(app, o.noStore);
    app.add_option("FILE", o.files, "log files read as one log, in name order");
}

void DescribeSimulate(CLI::App& app, SimulateOptions& o) {
    app.description(
        "Writes realistic day logs of a simulated receiver. It writes one file per UTC day, or with --live "
        "appends one record block a second to today's file, as a receiver's logger does, until stopped.");
    app.add_option("--out", o.directory, "folder the day logs are written to (created if missing)")
        ->type_name("DIR")
        ->required();
    app.add_option("--days", o.days, "number of days, 1 to 3660 (default 1)")->type_name("N");
    app.add_option("--end", o.end, "the last UTC day written, today at the latest (default yesterday)")
        ->type_name("YYYY-MM-DD");
    app.add_option("--seed", o.seed, "seed of the simulation, an unsigned number (default 1)")
        ->type_name("S");
    app.add_flag("--control", o.control, "write the control format (\"PDOP; sats: \" lines)");
    app.add_flag("--live", o.live,
                 "append to today's file second by second until SIGINT or SIGTERM; no --days or --end");
    app.add_flag("--force", o.force, "replace existing day files (with --live: append to today's)");
}

void DescribeTable(CLI::App& app, TableOptions& o) {
    app.description(
        "Prints one row of day metrics per day log of the folder. The rows come in date order with the fix "
        "and lock-mode shares and counts, average PDOP, GPS-seeking share, mean strength and Num good; a "
        "spreadsheet opens the table directly. An unreadable day is listed with its error and makes the exit "
        "status 1. Several folders (stations) give their rows one after the other, each named in a first "
        "column, station. The metrics of finished days are kept in the day store, so that the next table "
        "reads only the logs that are new or changed. Names of impossible dates and logs dated after today "
        "are left out, and counted on stderr.");
    app.add_option("--data-dir", o.dataDirectories,
                   "folder of the day logs (default the current folder); again for more stations")
        ->type_name("DIR")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
    app.add_option("--label", o.labels,
                   "names the station of the --data-dir before it (default the folder's name)")
        ->type_name("NAME")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
    app.add_option("--from", o.from, "first UTC day listed")->type_name("YYYY-MM-DD");
    app.add_option("--to", o.to, "last UTC day listed")->type_name("YYYY-MM-DD");
    app.add_option("--format", o.format,
                   "tsv (default, decimals of the user's locale), csv or json (decimal points)")
        ->type_name("tsv|csv|json");
    app.add_option("--jobs", o.jobs, "days analysed at once, 1 to 999 (default one per core)")
        ->type_name("N");
    DescribeNoStore(app, o.noStore);
}

void DescribeRender(CLI::App& app, RenderOptions& o) {
    app.description(
        "Draws the window as a picture. The window is built offscreen (no display needed) with one UTC "
        "day or the given files; the picture is the one the window's \"Save image...\" writes.");
    app.add_option("--out", o.out,
                   "the picture written: PNG, JPEG or BMP, as its suffix (.png, .jpg, .bmp) says")
        ->type_name("FILE")
        ->required();
    app.add_option("--data-dir", o.dataDirectory, "folder of the day logs, in front of every FILE")
        ->type_name("DIR");
    app.add_option("--date", o.date, "the UTC day shown (default yesterday)")->type_name("YYYY-MM-DD");
    app.add_option(
           "--size", o.size,
           "size of the window, 200x150 to 10000x10000; a size below the window's minimum is drawn at "
           "the minimum, with a notice (default the window's size at start, 772x580)")
        ->type_name("WxH");
    CLI::Option* from =
        app.add_option("--from", o.from, "zoom the charts to the time span from ...")->type_name("HH:MM");
    CLI::Option* to =
        app.add_option("--to", o.to, "... to this time of the day (UTC, up to 24:00)")->type_name("HH:MM");
    from->needs(to);
    to->needs(from);
    app.add_option("--layout", o.layout, "also write the charts' geometry and axis labels as JSON")
        ->type_name("FILE.json");
    app.add_option("FILE", o.files, "log files read as one log, in name order, as a drop on the window");
}

void DescribeMetrics(CLI::App& app, MetricsOptions& o) {
    app.description(
        "Prints the day's signal quality in the Prometheus text exposition format (version 0.0.4): the day "
        "so far, the last minutes and the newest minute. Just after midnight the last minutes and the last "
        "record come from yesterday's log as well. marlix_sqa_recent_coverage_ratio is the share of the last "
        "minutes' seconds that have a record. A day that cannot be read gives marlix_sqa_up 0 and exit "
        "status 1. With --history it prints instead the figures of every day log from --from to --to (those "
        "of table) in the OpenMetrics text format, one sample a day stamped at 23:59:59 UTC, for "
        "'promtool tsdb create-blocks-from openmetrics'.");
    AddDataDirectoryOption(app, o.dataDirectory);
    app.add_option("--date", o.date, "the UTC day whose log is read (default today)")
        ->type_name("YYYY-MM-DD")
        ->check(IsoDateCheck("--date"));
    AddMinutesOption(app, o.minutes, "length of the recent window in minutes, 1 to 1440 (default 15)");
    app.add_option("--station", o.station,
                   "add the label station=NAME, for hosts with several receivers (default none)")
        ->type_name("NAME");
    app.add_option("--out", o.out,
                   "replace FILE atomically instead of printing, for the textfile collector (default stdout)")
        ->type_name("FILE");
    app.add_flag("--history", o.history, "the figures of past days, for backfilling Prometheus");
    app.add_option("--from", o.from, "first UTC day of the history (default the oldest log)")
        ->type_name("YYYY-MM-DD")
        ->check(IsoDateCheck("--from"));
    app.add_option("--to", o.to, "last UTC day of the history (default the newest log)")
        ->type_name("YYYY-MM-DD")
        ->check(IsoDateCheck("--to"));
    DescribeNoStore(app, o.noStore);
}

void DescribeCheck(CLI::App& app, CheckOptions& o) {
    app.description(
        std::string(
            "Monitoring plugin for today's log (UTC): one line 'SQA STATE - summary | performance "
            "data' and exit 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN. The measures are taken over the "
            "last --minutes minutes before the current one, from yesterday's log as well while the window "
            "reaches back before midnight. Thresholds are ranges [@]start:end "
            "(alert outside start..end, or inside with @; '~' is minus infinity, no end is infinity, "
            "'N' alone is 0:N), one comma-separated list each for -w and -c in the order: 3D-fix "
            "share %, fine (or control) lock share %, average PDOP, mean strength, coverage %. An empty item "
            "keeps that default. Defaults: -w ") +
        kDefaultWarnings + " -c " + kDefaultCriticals +
        ", so that losing fix or lock over the whole window is CRITICAL. The coverage is the share of the "
        "window's seconds that have a record ('records for 2 of 15 min'). A measure taken from less than "
        "--min-basis percent of the window's seconds (the fix-and-mode records for the shares, the PDOP "
        "values 1 to 9 for the average, the minutes with a strength above 0 for the mean strength) is "
        "shown with that share ('from 13% of the window'). A last record older than --max-age seconds is "
        "CRITICAL, also when there is no log for today yet; no log at all for today and yesterday is "
        "CRITICAL. An unreadable log, or a --data-dir that is missing, no folder or unreadable, is "
        "UNKNOWN.");
    AddDataDirectoryOption(app, o.dataDirectory);
    AddMinutesOption(app, o.minutes, "length of the window in minutes, 1 to 1440 (default 15)");
    app.add_option("--max-age", o.maxAge,
                   "CRITICAL when the last record is older, 1 to 86400 seconds (default 300)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 86400).description(""))
        ->capture_default_str();
    app.add_option(
           "-w,--warning", o.warning,
           std::string("warning ranges 3D%,FINE%,PDOP,STRENGTH,COVERAGE% (default ") + kDefaultWarnings + ")")
        ->type_name("LIST");
    app.add_option("-c,--critical", o.critical,
                   std::string("critical ranges 3D%,FINE%,PDOP,STRENGTH,COVERAGE% (default ") +
                       kDefaultCriticals + ")")
        ->type_name("LIST");
    app.add_option("--min-basis", o.minBasis,
                   "name the share of the window a measure is taken from when below this percent, 0 to 100 "
                   "(default 50)")
        ->type_name("PERCENT")
        ->check(CLI::Range(0, 100).description(""))
        ->capture_default_str();
    app.add_option("-t,--timeout", o.timeout, "UNKNOWN after this many seconds, 1 to 3600 (default 30)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 3600).description(""))
        ->capture_default_str();
    app.add_flag("-V,--version", o.version, "show the version and exit");
}

void DescribeStore(CLI::App& app, StoreOptions& o) {
    app.description(
        "Looks after the day store, the file under $XDG_CACHE_HOME/marlix-sqa/ (default "
        "~/.cache/marlix-sqa/) "
        "that keeps the day metrics of finished days so that table reads only new or changed logs. stats "
        "prints what it holds; verify reads the logs of a sample of its days again and compares (exit status "
        "1 when one differs); clear empties it. The logs stay the truth: nothing is lost by clearing.");
    app.add_option("ACTION", o.action, "stats, verify or clear")->required();
    app.add_option("--sample", o.sample, "days verify reads again, 1 to 9999 (default 20)")->type_name("N");
}

// ---- the commands' interface ----

CommandLine::CommandLine(std::string_view name, const std::function<void(CLI::App&)>& describe)
    : app_(std::make_unique<CLI::App>()) {
    PrepareCommand(*app_, name);
    describe(*app_);
}

CommandLine::~CommandLine() = default;

std::optional<int> CommandLine::Parse(const Arguments& args, std::ostream& out, std::ostream& err,
                                      int usageStatus, int helpStatus) {
    return ParseCommandLine(*app_, args, out, err, usageStatus, helpStatus);
}

void CommandLine::ParseQuietly(const Arguments& args) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app_->parse(reversed);
    } catch (const CLI::Error&) {
        // Parse reports the problem.
    }
}

std::vector<std::string> CommandLine::GivenOptions() const {
    std::vector<std::string> names;
    for (const CLI::Option* option : app_->parse_order()) names.push_back(option->get_name());
    return names;
}

int CommandLine::UsageError(std::ostream& err, std::string_view problem, int usageStatus) const {
    return WriteUsageError(*app_, err, problem, usageStatus);
}

CommandHelp DescribedCommand(const Command& command) {
    CLI::App app;
    PrepareCommand(app, command.name);
    command.describe(app);
    CommandHelp help{Synopsis(app), app.get_description(), {}};
    for (const CLI::Option* option : DescribedOptions(app)) {
        OptionHelp& entry = help.options.emplace_back();
        entry.label = OptionLabel(*option);
        entry.description = option->get_description();
        for (const std::string& s : option->get_snames()) entry.names.push_back("-" + s);
        for (const std::string& l : option->get_lnames()) entry.names.push_back("--" + l);
        entry.valueName = option->get_type_name();
        entry.positional = !option->nonpositional();
        entry.flag = option->get_expected_max() == 0;
    }
    return help;
}

}  // namespace marlix::cli
