#include "DayExport.h"

#include <marlix/chart/series.h>
#include <marlix/core/daytime.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QScopeGuard>
#include <charconv>
#include <stdexcept>

#include "ChartInteraction.h"
#include "FormMain.h"

namespace marlix::ui {

namespace {

QString ShortestNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

// Titles are plain words today; a comma or quote would still keep its field whole.
QString CsvField(const QString& text) {
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n')) return text;
    return '"' + QString(text).replace("\"", "\"\"") + '"';
}

void WriteWhole(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("Cannot write " + path.toStdString());
    }
}

}  // namespace

QString IsoUtcTime(double time) {
    const core::CivilDateTime t = core::DecodeDateTime(time);
    QString text = QString("%1-%2-%3T%4:%5:%6")
                       .arg(t.year, 4, 10, QChar('0'))
                       .arg(t.month, 2, 10, QChar('0'))
                       .arg(t.day, 2, 10, QChar('0'))
                       .arg(t.hour, 2, 10, QChar('0'))
                       .arg(t.minute, 2, 10, QChar('0'))
                       .arg(t.second, 2, 10, QChar('0'));
    if (t.msec != 0) text += QString(".%1").arg(t.msec, 3, 10, QChar('0'));
    return text + 'Z';
}

QString VisiblePointsCsv(TSignalCharts& charts) {
    const TTimeSpan span = charts.VisibleSpan();
    QString text = "time,series,value\n";
    for (int s = 0; s < core::kSeriesCount; ++s) {
        const chart::TChartSeries& series = charts.SeriesFor(static_cast<core::SeriesId>(s));
        const QString title = CsvField(QString::fromStdString(series.Title()));
        for (int i = 0; i < series.PointCount(); ++i) {
            const double x = series.XValues().Value(i);
            if (x < span.from || x > span.to) continue;
            text += IsoUtcTime(x) + ',' + title + ',' + ShortestNumber(series.YValues().Value(i)) + '\n';
        }
    }
    return text;
}

void ExportVisiblePointsCsv(TSignalCharts& charts, const QString& path) {
    WriteWhole(path, VisiblePointsCsv(charts).toUtf8());
}

QString ProposedExportName(const QStringList& fileList, const QString& dataDirectory, const QString& suffix) {
    if (fileList.isEmpty()) return dataDirectory + "export" + suffix;
    const QString& first = fileList.first();
    // Day files are named without a folder and read from the data directory; dropped files carry theirs.
    const QFileInfo info(QFileInfo(first).isAbsolute() ? first : dataDirectory + first);
    return info.dir().filePath(info.completeBaseName() + suffix);
}

QImage WindowPicture(TFormMain& form) {
    form.Interaction().SetOverlaysHidden(true);
    const auto restore = qScopeGuard([&form] { form.Interaction().SetOverlaysHidden(false); });
    return form.grab().toImage();
}

void SaveWindowPicture(TFormMain& form, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !WindowPicture(form).save(&file, "PNG")) {
        throw std::runtime_error("Cannot write " + path.toStdString());
    }
}

}  // namespace marlix::ui
