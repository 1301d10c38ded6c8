// Writes the man pages of both programs and the bash completion of marlix-sqa-cli from the same
// descriptions that --help prints, so that they cannot drift apart. Run by the build:
//   marlix-sqa-docs OUTPUT-DIRECTORY QT-HELPER-PATH-UNDER-THE-PREFIX
#include <iostream>
#include <sstream>

#include "cli/command_line.h"
#include "cli/command_table.h"
#include "marlix/core/atomic_file.h"
#include "window_options.h"

namespace {

using namespace marlix::cli;

// Text for a roff line: backslashes and hyphens escaped, no request or control at the start.
std::string Roff(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

// "--data-dir DIR" as bold name and italic value.
// "-w, --warning LIST" as bold names and an italic value; a positional "FILE..." in italics.
std::string RoffLabel(const std::string& label) {
    if (label.rfind("-", 0) != 0) return "\\fI" + Roff(label) + "\\fR";
    const std::size_t space = label.rfind(' ');
    if (space == std::string::npos || label[space + 1] == '-') return "\\fB" + Roff(label) + "\\fR";
    return "\\fB" + Roff(label.substr(0, space)) + "\\fR \\fI" + Roff(label.substr(space + 1)) + "\\fR";
}

void Header(std::ostream& man, std::string_view name, std::string_view summary) {
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    man << ".TH " << Roff(upper) << " 1 \"\" \"marlix-sqa " << kVersion << "\" \"User Commands\"\n"
        << ".SH NAME\n"
        << Roff(name) << " \\- " << Roff(summary) << '\n';
}

void SeeAlsoAndFiles(std::ostream& man, std::string_view other) {
    man << ".SH FILES\n.TP\n.I YYYY\\-MM\\-DD_rx_data.txt\n"
           "The receiver logger's plain-text log of one UTC day, named after its date.\n"
           ".TP\n.IR YYYY\\-MM\\-DD_rx_data.txt.gz \", \" YYYY\\-MM\\-DD_rx_data.txt.xz \", \" "
           "YYYY\\-MM\\-DD_rx_data.txt.zst\n"
           "The same log archived by a rotation tool, read wherever a day log is and giving the same "
           "results; every stream of the file is read. When a day has both, the plain log is read. A damaged "
           "archive fails for its day alone; one that decompresses to more than 256 MiB is refused.\n"
           ".SH ENVIRONMENT\n.TP\n.B LC_ALL, LC_TIME, LC_NUMERIC, LANG\n"
           "The month names and the time separator of the notes line (LC_TIME) and the decimal separator "
           "of the texts and chart labels (LC_NUMERIC) follow the user's locale, as the C library has it "
           "installed; the window and the command line read them alike. A locale that is not installed "
           "leaves the C locale's English names, colon and point.\n"
           ".SH SEE ALSO\n.BR "
        << Roff(other) << " (1)\n";
}

void WriteCliManPage(std::ostream& man, const std::string& helperPath) {
    Header(man, "marlix-sqa-cli", "command line twin of the Marlix 2931T Signal Quality Analysis window");
    man << ".SH SYNOPSIS\n.B marlix\\-sqa\\-cli\n.I COMMAND\n[\\fIOPTIONS\\fR]\n.br\n"
           ".B marlix\\-sqa\\-cli\n\\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR\n"
           ".SH DESCRIPTION\n"
           "Reads the daily logs of a satellite-timing receiver as the window \\fBmarlix\\-sqa\\fR(1) does "
           "and prints their summaries and day metrics, writes simulated logs, and draws the window as a "
           "picture, for scripts and cron.\n"
           "Each command takes \\fB\\-h\\fR, \\fB\\-\\-help\\fR, which prints its options.\n"
           ".SH COMMANDS\n";
    for (const Command& command : CliCommands()) {
        const CommandHelp help = DescribedCommand(command);
        man << ".SS \"" << Roff(command.name) << ' ' << Roff(help.synopsis) << "\"\n"
            << Roff(help.description) << '\n';
        for (const OptionHelp& option : help.options)
            man << ".TP\n" << RoffLabel(option.label) << '\n' << Roff(option.description) << '\n';
    }
    man << ".SH EXIT STATUS\n"
           ".TP\n.B 0\nSuccess.\n"
           ".TP\n.B 1\nA file could not be read or written; one line on standard error names it and the "
           "reason.\n"
           ".TP\n.B 2\nBad arguments; the problem and the usage are printed on standard error.\n"
           ".PP\n\\fBcheck\\fR, a monitoring plugin, exits with its state instead: 0 OK, 1 WARNING, 2 "
           "CRITICAL, 3 UNKNOWN (also for bad arguments).\n";
    man << ".SH EXAMPLES\n.nf\n"
        << Roff("marlix-sqa-cli simulate --out logs --days 5 --end 2024-03-05") << '\n'
        << Roff("marlix-sqa-cli report --data-dir logs --date 2024-03-05") << '\n'
        << Roff("marlix-sqa-cli table --data-dir logs --format csv > days.csv") << '\n'
        << Roff("marlix-sqa-cli table --data-dir roof --data-dir mast --label B > stations.tsv") << '\n'
        << Roff("marlix-sqa-cli render --data-dir logs --date 2024-03-05 --out day.png") << '\n'
        << ".fi\n";
    std::ostringstream files;
    SeeAlsoAndFiles(files, "marlix-sqa");
    std::string rest = files.str();
    const std::string helperEntry =
        ".TP\n.I " + Roff(helperPath) +
        "\nThe Qt half of the program, which runs \\fBrender\\fR, under the installation prefix (/usr for "
        "the Debian package).\n"
        ".TP\n.I $XDG_CACHE_HOME/marlix\\-sqa/days.sqlite\n"
        "The day store (default under ~/.cache): the day metrics of finished days, one row per folder and "
        "day, so that \\fBtable\\fR reads only the logs that are new or changed. A row stands for its day "
        "only "
        "while the log is the very file it was made from; today's log and logs modified in the last minute "
        "are always read. \\fB\\-\\-no\\-store\\fR leaves it alone, \\fBstore\\fR looks after it. A store "
        "that "
        "cannot be used is named once on standard error and the days are read from their logs; a damaged one "
        "is set aside as days.sqlite.damaged and made again.\n"
        ".SH ENVIRONMENT\n.TP\n.B XDG_CACHE_HOME\nThe folder of the day store.";
    rest.replace(rest.find(".SH ENVIRONMENT"), 15, helperEntry);
    man << rest;
}

void WriteWindowManPage(std::ostream& man) {
    using namespace marlix::app;
    Header(man, "marlix-sqa", "Marlix 2931T Signal Quality Analysis, the window");
    man << ".SH SYNOPSIS\n.B marlix\\-sqa\n[\\fIOPTIONS\\fR] " << Roff(kWindowArgumentsName) << '\n'
        << ".SH DESCRIPTION\n"
        << Roff(kWindowSummary) << '\n'
        << ".PP\n"
        << Roff(kWindowArgumentsDescription) << '\n'
        << ".PP\n"
           "Today, Yesterday, the date picker and the two triangle buttons move between days; the keys "
           "\\(aq,\\(aq or \\(aq<\\(aq go one day back, \\(aq.\\(aq or \\(aq>\\(aq one day forward, F5 "
           "reloads. Auto refresh reloads the shown day while the receiver still writes today's log. "
           "The right mouse button opens Copy (Ctrl+C), Save image... (Ctrl+S), Export CSV..., History... "
           "(Ctrl+H) and Satellites....\n"
           ".PP\n"
           "History charts the day metrics of the days around the shown one, a month by default; its own "
           "right-button menu picks a month, a quarter, a year or everything, and Compare with folder... "
           "adds a station: a folder of day logs, named after the folder or by \\fB\\-\\-label\\fR. Up to "
           "eight stations share one day axis, each in its own colour. The mouse wheel zooms the days, a "
           "drag zooms to the days it covers, a drag with the middle button or with Shift held pans. A day "
           "without a log is a gap in the lines; today's day, still being written, is a hollow ring. A click "
           "on a day shows that day of the station clicked in the main window.\n"
           ".SH OPTIONS\n";
    for (const WindowOption& option : kWindowOptions) {
        // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about "-" + std::string here.
        std::string label;
        if (!option.shortName.empty()) label.append("-").append(option.shortName).append(", ");
        label.append("--").append(option.longName);
        if (!option.valueName.empty()) label.append(" ").append(option.valueName);
        man << ".TP\n" << RoffLabel(label) << '\n' << Roff(option.description) << '\n';
    }
    man << ".SH EXIT STATUS\n"
           ".TP\n.B 0\nThe window was closed, or the help or version was printed.\n"
           ".TP\n.B 2\nBad arguments.\n";
    man << ".SH EXAMPLES\n.nf\n"
        << Roff("marlix-sqa /var/log/receiver") << '\n'
        << Roff("marlix-sqa 2024-03-04_rx_data.txt 2024-03-05_rx_data.txt") << '\n'
        << Roff("marlix-sqa --label roof-a /var/log/rx-a --compare /var/log/rx-b --label roof-b") << '\n'
        << ".fi\n";
    SeeAlsoAndFiles(man, "marlix-sqa-cli");
}

// Values a completion offers after an option: folders, files, the words of "text|json", or nothing.
std::string ValueCompletion(const OptionHelp& option) {
    const std::string& type = option.valueName;
    if (type == "DIR") return "_marlix_sqa_cli_files -d";
    if (type.find("FILE") != std::string::npos) return "_marlix_sqa_cli_files -f";
    if (type.find('|') != std::string::npos) {
        std::string words = type;
        for (char& c : words) c = c == '|' ? ' ' : c;
        return "_marlix_sqa_cli_reply -W \"" + words + "\"";
    }
    return "COMPREPLY=()";
}

void WriteCompletion(std::ostream& out) {
    std::string names;
    for (const Command& command : CliCommands()) names += std::string(command.name) + ' ';
    out << "# bash completion for marlix-sqa-cli\n"
           "_marlix_sqa_cli_reply() {\n"
           "    mapfile -t COMPREPLY < <(compgen \"$@\" -- \"$cur\")\n"
           "}\n"
           "_marlix_sqa_cli_files() {\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    _marlix_sqa_cli_reply \"$@\"\n"
           "}\n"
           "_marlix_sqa_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
           "        _marlix_sqa_cli_reply -W \""
        << names
        << "--help --version\"\n"
           "        return\n"
           "    fi\n"
           "    case ${COMP_WORDS[1]} in\n";
    for (const Command& command : CliCommands()) {
        std::string flags;
        bool positional = false;
        out << "    " << command.name << ")\n        case $prev in\n";
        for (const OptionHelp& option : DescribedCommand(command).options) {
            if (option.positional) {
                positional = true;
                continue;
            }
            for (const std::string& name : option.names) flags += name + ' ';
            if (option.flag) continue;
            std::string pattern;
            for (const std::string& name : option.names) pattern += (pattern.empty() ? "" : "|") + name;
            out << "        " << pattern << ") " << ValueCompletion(option) << "; return ;;\n";
        }
        out << "        esac\n"
               "        if [[ $cur == -* ]]; then\n"
               "            _marlix_sqa_cli_reply -W \""
            << flags.substr(0, flags.size() - 1) << "\"\n";
        if (positional) {
            out << "        else\n"
                   "            _marlix_sqa_cli_files -f\n";
        }
        out << "        fi\n        ;;\n";
    }
    out << "    esac\n}\ncomplete -F _marlix_sqa_cli marlix-sqa-cli\n";
}

bool Write(const std::string& path, void (*write)(std::ostream&, const std::string&),
           const std::string& arg) {
    std::ostringstream text;
    write(text, arg);
    if (const auto failure = marlix::core::WriteFileAtomically(path, text.str())) {
        std::cerr << "marlix-sqa-docs: " << marlix::core::WriteFailureText(*failure) << '\n';
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: marlix-sqa-docs OUTPUT-DIRECTORY QT-HELPER-PATH-UNDER-THE-PREFIX\n";
        return 2;
    }
    const std::string dir = std::string(argv[1]) + '/';
    const bool written =
        Write(
            dir + "marlix-sqa-cli.1",
            [](std::ostream& o, const std::string& helper) { WriteCliManPage(o, helper); }, argv[2]) &&
        Write(
            dir + "marlix-sqa.1", [](std::ostream& o, const std::string&) { WriteWindowManPage(o); }, "") &&
        Write(
            dir + "marlix-sqa-cli", [](std::ostream& o, const std::string&) { WriteCompletion(o); }, "");
    return written ? 0 : 1;
}
