#include "render.h"

#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/atomic_file.h>
#include <marlix/core/daytime.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QScopeGuard>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <ostream>
#include <sstream>
#include <tuple>

#include "command_line.h"
#include "ui/ChartInteraction.h"
#include "ui/DayDate.h"
#include "ui/DayExport.h"
#include "ui/FormMain.h"

namespace marlix::cli {
namespace {

struct RenderRequest {
    std::string out;
    const char* format = "PNG";  // the Qt image writer named by the suffix of out
    std::string layout;
    std::string dataDirectory;
    std::optional<core::DayTime> date;
    std::vector<std::string> files;
    // Minutes of the shown day (UTC) the picture is zoomed to.
    std::optional<int> fromMinute;
    std::optional<int> toMinute;
    // The window's size; 0 keeps its size at start (the design's, with the status line below it).
    int width = 0;
    int height = 0;
};

bool ParseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto w = std::from_chars(begin, begin + x, width);
    auto h = std::from_chars(begin + x + 1, end, height);
    return w.ec == std::errc() && w.ptr == begin + x && h.ec == std::errc() && h.ptr == end && width >= 200 &&
           height >= 150 && width <= 10000 && height <= 10000;
}

// The picture format a file name's suffix names, case aside; none for a suffix no writer here takes.
const char* PictureFormat(const std::string& path) {
    const QString suffix = QFileInfo(QFile::decodeName(path.c_str())).suffix().toLower();
    if (suffix == "png") return "PNG";
    if (suffix == "jpg" || suffix == "jpeg") return "JPEG";
    if (suffix == "bmp") return "BMP";
    return nullptr;
}

// "HH:MM" from 00:00 to 24:00.
std::optional<int> ParseClock(const std::string& text) {
    if (text.size() != 5 || text[2] != ':') return std::nullopt;
    int hour = 0, minute = 0;
    const char* begin = text.data();
    if (std::from_chars(begin, begin + 2, hour).ptr != begin + 2 ||
        std::from_chars(begin + 3, begin + 5, minute).ptr != begin + 5) {
        return std::nullopt;
    }
    if (hour < 0 || minute < 0 || minute > 59 || hour > 24 || (hour == 24 && minute != 0))
        return std::nullopt;
    return hour * 60 + minute;
}

std::optional<std::string> ParseArguments(const RenderOptions& o, RenderRequest& request) {
    request.out = o.out;
    request.layout = o.layout;
    request.dataDirectory = o.dataDirectory;
    request.files = o.files;
    if (o.date) {
        request.date = ParseIsoDate(*o.date);
        if (!request.date) return "--date wants a valid YYYY-MM-DD, not '" + *o.date + "'";
    }
    if (o.size && !ParseSize(*o.size, request.width, request.height))
        return "--size wants WIDTHxHEIGHT (200x150 to 10000x10000), not '" + *o.size + "'";
    for (const auto& [name, text, minute] :
         {std::tuple{"--from", &o.from, &request.fromMinute}, std::tuple{"--to", &o.to, &request.toMinute}}) {
        if (!*text) continue;
        *minute = ParseClock(**text);
        if (!*minute) return std::string(name) + " wants a time HH:MM (00:00 to 24:00), not '" + **text + "'";
    }
    if (request.out.empty()) return std::string("--out is required");
    request.format = PictureFormat(request.out);
    if (request.format == nullptr)
        return "--out wants a name ending in .png, .jpg, .jpeg or .bmp, not '" + request.out + "'";
    if (request.date && !request.files.empty()) return std::string("give either --date or files, not both");
    if (request.fromMinute.has_value() != request.toMinute.has_value())
        return std::string("--from and --to go together");
    if (request.fromMinute && *request.fromMinute >= *request.toMinute)
        return std::string("--from must be before --to");
    return std::nullopt;
}

std::string Rect(int left, int top, int right, int bottom) {
    std::ostringstream s;
    s << '[' << left << ", " << top << ", " << right << ", " << bottom << ']';
    return s.str();
}

std::string AxisLayout(const chart::TChartAxis& axis) {
    std::ostringstream s;
    s << "{\"start\": " << axis.IStartPos() << ", \"end\": " << axis.IEndPos() << ", \"labels\": [";
    const auto& labels = axis.DrawnLabels();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const chart::TDrawnLabel& label = labels[i];
        s << (i ? ", " : "") << "{\"text\": " << JsonString(label.Text)
          << ", \"position\": " << label.Position << ", \"x\": " << label.X << ", \"y\": " << label.Y << '}';
    }
    s << "]}";
    return s.str();
}

// The geometry of the picture: per chart its plot rectangle, margins, legend and axis labels.
std::string LayoutJson(ui::TFormMain& form) {
    std::ostringstream s;
    s << "{\"size\": [" << form.width() << ", " << form.height()
      << "], \"picker_date\": " << JsonString(form.PickerDate().toString(Qt::ISODate).toStdString())
      << ", \"charts\": [";
    const chart::TChartPanel* panels[] = {form.ChartStrength(), form.ChartPDOP(), form.ChartMode()};
    const char* axisNames[] = {"bottom", "top", "left", "right"};
    for (std::size_t c = 0; c < std::size(panels); ++c) {
        const chart::TChartPanel& panel = *panels[c];
        const chart::TChart& chart = panel.Chart();
        const chart::TRect& plot = chart.PlotRect();
        const chart::TLegendLayout& legend = chart.LegendLayout();
        s << (c ? ", " : "") << "{\"name\": " << JsonString(panel.objectName().toStdString())
          << ", \"geometry\": "
          << Rect(panel.x(), panel.y(), panel.x() + panel.width(), panel.y() + panel.height())
          << ", \"plot_rect\": " << Rect(plot.Left, plot.Top, plot.Right, plot.Bottom)
          << ", \"margins\": " << Rect(chart.Margin(0), chart.Margin(1), chart.Margin(2), chart.Margin(3))
          << ", \"legend\": "
          << (legend.Shown ? Rect(legend.Rect.Left, legend.Rect.Top, legend.Rect.Right, legend.Rect.Bottom)
                           : std::string("null"))
          << ", \"axes\": {";
        bool first = true;
        const chart::TChartAxis* axes[] = {&chart.BottomAxis(), &chart.TopAxis(), &chart.LeftAxis(),
                                           &chart.RightAxis()};
        for (int a = 0; a < 4; ++a) {
            const chart::TChartAxis& axis = *axes[a];
            if (!axis.Shown()) continue;
            s << (first ? "" : ", ") << '"' << axisNames[a] << "\": " << AxisLayout(axis);
            first = false;
        }
        s << "}}";
    }
    s << "]}\n";
    return s.str();
}

// Qt's own notices (a missing runtime folder and the like) would break the rule of one
// clear line per failure on stderr; only its critical messages get through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int RunRender(const Arguments& args, std::ostream& out, std::ostream& err) {
    RenderOptions options;
    CommandLine commandLine("render", [&options](CLI::App& app) { DescribeRender(app, options); });
    if (const auto status = commandLine.Parse(args, out, err)) return *status;
    RenderRequest request;
    if (auto problem = ParseArguments(options, request)) return commandLine.UsageError(err, *problem);

    // The picture needs no display: the same window is built on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QtMessageHandler previousHandler = qInstallMessageHandler(QuietQtMessages);
    const auto restoreHandler = qScopeGuard([previousHandler] { qInstallMessageHandler(previousHandler); });
    int argc = 1;
    char name[] = "marlix-sqa-cli";
    char* argv[] = {name, nullptr};
    std::optional<QApplication> app;
    if (!QApplication::instance()) app.emplace(argc, argv);
    QApplication::setApplicationDisplayName("Marlix 2931T - Signal Quality Analysis");

    std::string handlerError;
    ui::TFormMainOptions formOptions;
    formOptions.runStartup = false;
    formOptions.showError = [&handlerError](const QString&, const QString& message) {
        handlerError = message.toStdString();
    };
    ui::TFormMain form(std::move(formOptions));
    form.SetDataDirectory(QFile::decodeName(request.dataDirectory.c_str()));
    if (request.width > 0) form.resize(request.width, request.height);
    form.show();
    if (request.width > 0 && (form.width() != request.width || form.height() != request.height)) {
        err << "marlix-sqa-cli: " << request.width << 'x' << request.height
            << " is below the window's minimum size; drawn at " << form.width() << 'x' << form.height()
            << '\n';
    }

    if (request.files.empty()) {
        form.SetPickerDate(ui::DateOf(request.date.value_or(YesterdayUtc())));
        form.DateTimePickerChange();
        form.WaitForLoad();
    } else {
        QStringList files;
        for (const std::string& file : request.files) files << QFile::decodeName(file.c_str());
        form.DropFileTarget1Drop(files);
        form.WaitForLoad();
        // Like the window, which opens on yesterday before any drop, but naming the day of the files read
        // rather than the picker's empty default.
        form.SetPickerDate(ui::DateOf(form.Charts().HasDay() ? form.Charts().DayStart() : YesterdayUtc()));
    }
    if (const auto& failure = form.LastLoadFailure()) {
        err << "marlix-sqa-cli: " << ReadFailureText(*failure) << '\n';
        return kExitFailure;
    }
    if (!handlerError.empty()) {
        err << "marlix-sqa-cli: " << handlerError << '\n';
        return kExitFailure;
    }

    if (request.fromMinute && form.Charts().HasDay()) {
        const double day = std::floor(form.Charts().DayStart());
        form.Interaction().ZoomTo(day + *request.fromMinute / 1440.0, day + *request.toMinute / 1440.0);
    }

    auto failure = ui::SavePicture(ui::WindowPicture(form, form.Interaction()), request.out, request.format);
    if (!failure && !request.layout.empty())
        failure = core::WriteFileAtomically(request.layout, LayoutJson(form));
    if (failure) {
        err << "marlix-sqa-cli: " << core::WriteFailureText(*failure) << '\n';
        return kExitFailure;
    }
    out << request.out << '\n';
    return kExitOk;
}

}  // namespace marlix::cli
