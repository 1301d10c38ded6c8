// The window program: marlix-sqa [--compare DIR [--label NAME]]... [DIR | FILE...]
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "ui/FormMain.h"
#include "window_options.h"

namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(FromView(marlix::app::kWindowSummary));
    for (const marlix::app::WindowOption& option : marlix::app::kWindowOptions) {
        QStringList names{FromView(option.longName)};
        if (!option.shortName.empty()) names.prepend(FromView(option.shortName));
        parser.addOption(QCommandLineOption(names, FromView(option.description), FromView(option.valueName)));
    }
    parser.addPositionalArgument("DIR | FILE", FromView(marlix::app::kWindowArgumentsDescription),
                                 FromView(marlix::app::kWindowArgumentsName));
}

// Each --label names the station of the --compare before it, or the data folder's before any.
void TakeStations(const QCommandLineParser& parser, marlix::ui::TFormMainOptions& options) {
    const QStringList folders = parser.values("compare");
    const QStringList labels = parser.values("label");
    qsizetype folder = 0, label = 0;
    for (const QString& name : parser.optionNames()) {
        if (name == "compare") {
            options.compare.push_back({folders[folder++], {}});
        } else if (name == "label") {
            QString& named = options.compare.empty() ? options.label : options.compare.back().name;
            named = labels[label++];
        }
    }
}

// Qt names the program by the path it was started with, or not at all before the application exists.
QString HelpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    return "Usage: marlix-sqa" + text.mid(text.indexOf(" [options]"));
}

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// --help and --version answer before the window system is asked for a display, so that they also
// work without one.
bool AnsweredWithoutWindow(int argc, char** argv) {
    QCommandLineParser parser;
    Describe(parser);
    parser.parse(ArgumentsOf(argc, argv));
    if (parser.isSet("help")) {
        std::fputs(qPrintable(HelpText(parser)), stdout);
        return true;
    }
    if (parser.isSet("version")) {
        std::printf("marlix-sqa %s\n", MARLIX_VERSION);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName("marlix-sqa");
    QCoreApplication::setApplicationVersion(MARLIX_VERSION);
    if (AnsweredWithoutWindow(argc, argv)) return 0;

    QApplication app(argc, argv);
    // Error boxes carry the application's title; equal to the caption, so that no
    // window manager appends it to the caption a second time.
    QApplication::setApplicationDisplayName("Marlix 2931T - Signal Quality Analysis");
    QApplication::setDesktopFileName("io.marlix.sqa");

    // Qt's own options (-platform and the like) are gone from the arguments by now.
    QCommandLineParser parser;
    Describe(parser);
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "marlix-sqa: %s\n%s", qPrintable(parser.errorText()),
                     qPrintable(HelpText(parser)));
        return 2;
    }

    marlix::ui::TFormMainOptions options;
    options.arguments = parser.positionalArguments();
    options.programDirectory = QApplication::applicationDirPath();
    TakeStations(parser, options);
    marlix::ui::TFormMain form(std::move(options));
    form.show();
    return QApplication::exec();
}
