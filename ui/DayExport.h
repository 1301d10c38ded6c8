#pragma once

#include <marlix/core/atomic_file.h>

#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

#include "marlix/signal_charts/SignalCharts.h"

class QWidget;

namespace marlix::ui {

class TChartInteraction;

// The closed minutes within the visible time span as a spreadsheet reads them: a header row, then
// one row per minute (see core::MinutesCsv).
QString VisibleMinutesCsv(const std::vector<core::MinuteReading>& minutes, bool controlFormat,
                          TTimeSpan span);

// Writes VisibleMinutesCsv to path; throws std::runtime_error when the file cannot be written.
void ExportMinutesCsv(const std::vector<core::MinuteReading>& minutes, bool controlFormat, TTimeSpan span,
                      const QString& path);

// The name an export of the shown day proposes: the first file's name with the given suffix in
// place of its own (the day log of 14 March 2026 gives 2026-03-14_rx_data.csv), in the export
// folder; "export" + suffix while no file was shown.
QString ProposedExportName(const QStringList& fileList, const QString& exportFolder, const QString& suffix);
// Where exports go unless the user picks another place: the folder of the last export, else the
// user's documents folder; never the log folder, which the receiver's logger owns.
QString ExportFolder();
// The folder of a file the user exported to, for the next export.
void RememberExportFolder(const QString& path);

// The window as `render` and "Save image..." show it: charts, summary and notes at the window's
// size, span and device pixel ratio, without the cursor, the drag band or the readout of the
// window's chart interaction.
QImage WindowPicture(QWidget& window, TChartInteraction& interaction);

// Writes the picture in the Qt image format named ("PNG", "JPEG", "BMP"), whole or not at all; the
// failure, if any.
std::optional<core::WriteFailure> SavePicture(const QImage& picture, const std::string& path,
                                              const char* format);

// Writes WindowPicture as PNG; throws std::runtime_error when the file cannot be written.
void SaveWindowPicture(QWidget& window, TChartInteraction& interaction, const QString& path);

}  // namespace marlix::ui
