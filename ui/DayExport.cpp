#include "DayExport.h"

#include <marlix/chart/series.h>
#include <marlix/core/daytime.h>
#include <marlix/core/log_files.h>
#include <marlix/core/minute_export.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QWidget>
#include <stdexcept>
#include <string_view>

#include "ChartInteraction.h"
#include "RememberedFolders.h"

namespace marlix::ui {

namespace {

// The window's error box names the file as the user chose it and the system's reason.
void ThrowIfFailed(const QString& path, const std::optional<core::WriteFailure>& failure) {
    if (failure) throw std::runtime_error("Cannot write " + path.toStdString() + ": " + failure->reason);
}

}  // namespace

QString VisibleMinutesCsv(const std::vector<core::MinuteReading>& minutes, bool controlFormat,
                          TTimeSpan span) {
    return QString::fromStdString(core::MinutesCsv(minutes, controlFormat, span.from, span.to));
}

void ExportMinutesCsv(const std::vector<core::MinuteReading>& minutes, bool controlFormat, TTimeSpan span,
                      const QString& path) {
    const QByteArray csv = VisibleMinutesCsv(minutes, controlFormat, span).toUtf8();
    ThrowIfFailed(path, core::WriteFileAtomically(QFile::encodeName(path).toStdString(),
                                                  std::string_view(csv.constData(), csv.size())));
}

QString ProposedExportName(const QStringList& fileList, const QString& exportFolder, const QString& suffix) {
    if (fileList.isEmpty()) return QDir(exportFolder).filePath("export" + suffix);
    QString name = QFileInfo(fileList.first()).fileName();
    // An archived day is named as its plain log: 2026-03-14_rx_data.txt.gz gives 2026-03-14_rx_data.csv.
    for (const std::string_view archive : core::kArchiveSuffixes) {
        if (name.endsWith(QLatin1String(archive.data(), static_cast<qsizetype>(archive.size())))) {
            name.chop(static_cast<qsizetype>(archive.size()));
            break;
        }
    }
    return QDir(exportFolder).filePath(QFileInfo(name).completeBaseName() + suffix);
}

QString ExportFolder() {
    const QString remembered = RememberedFolder(TRememberedFolder::ExportFolder);
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) return remembered;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void RememberExportFolder(const QString& path) {
    RememberFolder(TRememberedFolder::ExportFolder, QFileInfo(path).absolutePath());
}

QImage WindowPicture(QWidget& window, TChartInteraction& interaction) {
    interaction.SetOverlaysHidden(true);
    const auto restore = qScopeGuard([&interaction] { interaction.SetOverlaysHidden(false); });
    return window.grab().toImage();
}

std::optional<core::WriteFailure> SavePicture(const QImage& picture, const std::string& path,
                                              const char* format) {
    // Encoded in memory first, so that the file is written whole or not at all.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, format))
        return core::WriteFailure{path, std::string("The picture cannot be encoded as ") + format};
    return core::WriteFileAtomically(path, std::string_view(encoded.constData(), encoded.size()));
}

void SaveWindowPicture(QWidget& window, TChartInteraction& interaction, const QString& path) {
    ThrowIfFailed(
        path, SavePicture(WindowPicture(window, interaction), QFile::encodeName(path).toStdString(), "PNG"));
}

}  // namespace marlix::ui
