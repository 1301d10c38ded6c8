#include "DayExport.h"

#include <marlix/chart/series.h>
#include <marlix/core/daytime.h>
#include <marlix/core/minute_export.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QScopeGuard>
#include <QWidget>
#include <stdexcept>

#include "ChartInteraction.h"

namespace marlix::ui {

namespace {

void WriteWhole(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("Cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
    }
}

}  // namespace

QString VisibleMinutesCsv(const std::vector<core::MinuteReading>& minutes, bool controlFormat,
                          TTimeSpan span) {
    return QString::fromStdString(core::MinutesCsv(minutes, controlFormat, span.from, span.to));
}

void ExportMinutesCsv(const std::vector<core::MinuteReading>& minutes, bool controlFormat, TTimeSpan span,
                      const QString& path) {
    WriteWhole(path, VisibleMinutesCsv(minutes, controlFormat, span).toUtf8());
}

QString ProposedExportName(const QStringList& fileList, const QString& dataDirectory, const QString& suffix) {
    if (fileList.isEmpty()) return dataDirectory + "export" + suffix;
    const QString& first = fileList.first();
    // Day files are named without a folder and read from the data directory; dropped files carry theirs.
    const QFileInfo info(QFileInfo(first).isAbsolute() ? first : dataDirectory + first);
    return info.dir().filePath(info.completeBaseName() + suffix);
}

QImage WindowPicture(QWidget& window, TChartInteraction& interaction) {
    interaction.SetOverlaysHidden(true);
    const auto restore = qScopeGuard([&interaction] { interaction.SetOverlaysHidden(false); });
    return window.grab().toImage();
}

void SaveWindowPicture(QWidget& window, TChartInteraction& interaction, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !WindowPicture(window, interaction).save(&file, "PNG")) {
        throw std::runtime_error("Cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
    }
}

}  // namespace marlix::ui
