#include "command_line.h"

#include <algorithm>
#include <ostream>

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

}  // namespace

void PrepareCommand(CLI::App& app, std::string_view name) {
    app.name(std::string(name));
    app.allow_extras();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_help_flag("-h,--help", "show this help and exit");
}

void DescribeNoStore(CLI::App& app, bool& noStore) {
    app.add_flag("--no-store", noStore,
                 "read every day from its log; the day store is neither read nor written");
}

std::string OptionLabel(const CLI::Option& option) {
    if (!option.nonpositional()) {
        return option.get_name(true) + (option.get_items_expected_max() > 1 ? "..." : "");
    }
    std::string label;
    for (const std::string& s : option.get_snames()) label += (label.empty() ? "-" : ", -") + s;
    for (const std::string& l : option.get_lnames()) label += (label.empty() ? "--" : ", --") + l;
    return IsFlag(option) ? label : label + ' ' + option.get_type_name();
}

std::vector<const CLI::Option*> DescribedOptions(const CLI::App& app) {
    std::vector<const CLI::Option*> options;
    for (const CLI::Option* option : app.get_options()) {
        if (!IsHelp(app, *option)) options.push_back(option);
    }
    if (app.get_help_ptr() != nullptr) options.push_back(app.get_help_ptr());
    return options;
}

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

int UsageError(const CLI::App& app, std::ostream& err, std::string_view problem, int usageStatus) {
    err << "marlix-sqa-cli " << app.get_name() << ": " << problem << "\nusage: marlix-sqa-cli "
        << app.get_name() << ' ' << Synopsis(app) << '\n';
    return usageStatus;
}

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
    return UsageError(app, err, problem, usageStatus);
}

}  // namespace marlix::cli
