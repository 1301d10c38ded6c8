// Save image, CSV export of the visible points, the proposed names, the popup menu and its keys.
#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>
#include <charconv>
#include <sstream>
#include <vector>

#include "FormFixture.h"
#include "marlix/signal_charts/SignalCharts.h"
#include "render.h"
#include "support/small_filesystem.h"
#include "ui/ChartInteraction.h"
#include "ui/DayExport.h"

namespace marlix::ui::test {
namespace {

double At(QDate date, int hour, int minute, int second = 0, int msec = 0) {
    return core::EncodeDateTime(date.year(), date.month(), date.day(), hour, minute, second, msec);
}

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString("<missing>");
}

using IsoTimeTest = ::testing::Test;

TEST_F(IsoTimeTest, WholeSecondsWithoutAndOtherTimesWithMilliseconds) {
    const QDate day(2026, 3, 14);
    EXPECT_EQ(core::IsoUtcTime(At(day, 10, 1, 1)), "2026-03-14T10:01:01Z");
    EXPECT_EQ(core::IsoUtcTime(At(day, 10, 1, 1, 500)), "2026-03-14T10:01:01.500Z");
    EXPECT_EQ(core::IsoUtcTime(At(day, 0, 0, 0, 7)), "2026-03-14T00:00:00.007Z");
    EXPECT_EQ(core::IsoUtcTime(At(day, 0, 0) + 0.999), "2026-03-14T23:58:33.600Z");
}

using ProposedNameTest = ::testing::Test;

TEST_F(ProposedNameTest, TheFirstFilesNameInTheExportFolder) {
    EXPECT_EQ(ProposedExportName({"2026-03-14_rx_data.txt"}, "/home/op/Documents", ".csv"),
              "/home/op/Documents/2026-03-14_rx_data.csv");
    EXPECT_EQ(ProposedExportName({"/tmp/drop/2026-03-13_rx_data.txt", "/tmp/drop/2026-03-14_rx_data.txt"},
                                 "/home/op/Documents", ".png"),
              "/home/op/Documents/2026-03-13_rx_data.png");
    EXPECT_EQ(ProposedExportName({"/tmp/drop/2026-03-14_rx_data.txt.zst"}, "/home/op/Documents", ".csv"),
              "/home/op/Documents/2026-03-14_rx_data.csv");
    EXPECT_EQ(ProposedExportName({}, "/home/op/Documents", ".csv"), "/home/op/Documents/export.csv");
}

class ExportTest : public FormFixture {
  protected:
    std::unique_ptr<TFormMain> ShowYesterday(QTime from, QTime to) {
        WriteFile(dataDir.path(), DayName(yesterday),
                  RecordBlocks(QDateTime(yesterday, from, Qt::UTC), QDateTime(yesterday, to, Qt::UTC)));
        auto form = MakeForm();
        form->SetPickerDate(yesterday);
        form->DateTimePickerChange();
        form->WaitForLoad();
        return form;
    }
    // A window whose save dialog answers `answer` and records what it proposed.
    std::unique_ptr<TFormMain> MakeAnsweringForm() {
        TFormMainOptions options;
        options.runStartup = false;
        options.clock = clock;
        options.showError = [this](const QString& title, const QString& message) {
            errors.emplace_back(title, message);
        };
        options.askSavePath = [this](const QString& caption, const QString& proposed, const QString&) {
            asked << caption + " | " + proposed;
            return answer;
        };
        auto form = std::make_unique<TFormMain>(std::move(options));
        form->SetDataDirectory(dataDir.path());
        form->show();
        QApplication::processEvents();
        return form;
    }
    QString answer;
    QStringList asked;
};

QString Csv(TFormMain& form) {
    return VisibleMinutesCsv(form.Minutes(), form.ControlFormat(), form.Charts().VisibleSpan());
}

const QString kHeader = "Time (UTC),Strength,Num good,Fix,Trend,PDOP,Signal %,Mode,Gap\r\n";

TEST_F(ExportTest, CsvHoldsOneRowPerMinuteOfTheVisibleSpanWithBothEnds) {
    // Each minute's row carries the time of its close, at second 01 of the next minute.
    auto form = ShowYesterday(QTime(10, 0), QTime(10, 6, 30));
    form->Charts().SetTimeSpan(At(yesterday, 10, 2, 1), At(yesterday, 10, 4, 1));
    QString expected = kHeader;
    for (int minute = 2; minute <= 4; ++minute)
        expected += QString("2026-03-14T10:0%1:01Z,4.166669,4,3D,,2,83.3333,fine,\r\n").arg(minute);
    EXPECT_EQ(Csv(*form), expected);

    form->Charts().SetTimeSpan(At(yesterday, 10, 2, 2), At(yesterday, 10, 3, 2));
    EXPECT_EQ(Csv(*form), kHeader + "2026-03-14T10:03:01Z,4.166669,4,3D,,2,83.3333,fine,\r\n");
}

TEST_F(ExportTest, UnzoomedDayLeavesOutTheLastMinuteThatFallsPastTheDayRange) {
    auto form = ShowYesterday(QTime(23, 57), QTime(23, 59, 59));
    // The day range ends at 23:58:33.6: the 23:59:01 and later minutes are out of view. The first
    // minute of the load keeps its readings; the gap rule's zero points there only mark the gap end.
    EXPECT_EQ(Csv(*form), kHeader + "2026-03-14T23:58:01Z,4.166669,4,3D,,2,83.3333,fine,ends\r\n");
    EXPECT_GT(form->ChartStrength()->Chart().Series(0).XValues().Value(
                  form->ChartStrength()->Chart().Series(0).PointCount() - 1),
              At(yesterday, 23, 59));
}

// Records as RFC 4180 reads them: fields split at commas, quoted fields with doubled quotes,
// each record ended by CR LF. Nothing is accepted that the grammar does not allow.
std::vector<QStringList> ParseRfc4180(const QString& text, bool& ok) {
    std::vector<QStringList> records;
    QStringList fields;
    QString field;
    ok = true;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size()) return ok = false, records;
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n' && text[i] != '"')
                field += text[i++];
        }
        if (i < text.size() && text[i] == ',') {
            fields << field;
            field.clear();
            ++i;
        } else if (text.mid(i, 2) == "\r\n") {
            fields << field;
            field.clear();
            records.push_back(fields);
            fields.clear();
            i += 2;
        } else {
            return ok = false, records;
        }
    }
    if (!fields.isEmpty() || !field.isEmpty()) ok = false;  // the last record lacks its CR LF
    return records;
}

// The shortest text that reads back to the same 4-byte float.
bool ShortestFloat(const QString& text) {
    const float value = text.toFloat();
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return text == QString::fromLatin1(buffer, end - buffer);
}

TEST_F(ExportTest, ParsedAsRfc4180AControlDayAcrossMidnightWithAGapGivesEachMinuteOnce) {
    const QDate next = yesterday.addDays(1);
    const QString first = WriteFile(dataDir.path(), DayName(yesterday),
                                    RecordBlocks(QDateTime(yesterday, QTime(23, 20), Qt::UTC),
                                                 QDateTime(yesterday, QTime(23, 30), Qt::UTC), true) +
                                        RecordBlocks(QDateTime(yesterday, QTime(23, 45), Qt::UTC),
                                                     QDateTime(yesterday, QTime(23, 59, 59), Qt::UTC), true));
    const QString second = WriteFile(
        dataDir.path(), DayName(next),
        RecordBlocks(QDateTime(next, QTime(0, 0), Qt::UTC), QDateTime(next, QTime(1, 10), Qt::UTC), true));
    auto form = MakeForm();
    form->DropFileTarget1Drop({second, first});
    form->WaitForLoad();
    bool ok = false;
    const std::vector<QStringList> rows = ParseRfc4180(Csv(*form), ok);
    ASSERT_TRUE(ok);
    ASSERT_GT(rows.size(), 60u);
    EXPECT_EQ(rows[0], (QStringList{"Time (UTC)", "Strength", "Num good", "Fix", "Trend", "PDOP", "Signal %",
                                    "Mode", "Gap"}));
    QStringList gaps;
    bool crossed = false;
    int trends = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const QStringList& row = rows[r];
        ASSERT_EQ(row.size(), 9) << r;
        if (r > 1) {
            EXPECT_LT(rows[r - 1][0], row[0]) << "minute twice or out of order: " << row[0].toStdString();
        }
        EXPECT_EQ(row[7], "control") << r;
        EXPECT_EQ(row[3], "3D") << r;
        for (const int column : {1, 2, 6})
            EXPECT_TRUE(ShortestFloat(row[column])) << row[column].toStdString();
        if (!row[4].isEmpty()) {
            ++trends;
            EXPECT_TRUE(ShortestFloat(row[4])) << row[4].toStdString();
        }
        if (!row[8].isEmpty()) gaps << row[0] + ' ' + row[8];
        if (row[0].startsWith("2026-03-15T00:0")) crossed = true;
    }
    // The load starts with a gap end; the pause after 23:30 begins one after the minute closed at
    // 23:29:01 and ends at the close that takes the 23:30:00 record with the first after the pause.
    EXPECT_EQ(gaps, (QStringList{"2026-03-14T23:21:01Z ends", "2026-03-14T23:29:01Z begins",
                                 "2026-03-14T23:45:01Z ends"}));
    EXPECT_TRUE(crossed);
    EXPECT_GT(trends, 0);
    // The records end at 01:10:00: the minute after the 01:09:01 close never closes.
    EXPECT_EQ(rows.back()[0], "2026-03-15T01:09:01Z");
}

TEST_F(ExportTest, MenuExportProposesTheDayNameAndWritesTheFileOrNothingWhenCancelled) {
    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(QDateTime(yesterday, QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday, QTime(10, 3), Qt::UTC)));
    auto form = MakeAnsweringForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    QAction* exportCsv = form->PopupMenu()->findChild<QAction*>("PopupExportCsv");
    ASSERT_NE(exportCsv, nullptr);

    // Never beside the logs: the documents folder, then the folder of the last export.
    exportCsv->trigger();  // cancelled: the answer is empty
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(asked, QStringList{"Export CSV | " + documents + "/2026-03-14_rx_data.csv"});
    EXPECT_EQ(QDir(dataDir.path()).entryList({"*.csv"}), QStringList{});

    QTemporaryDir exports;
    answer = exports.path() + "/out.csv";
    exportCsv->trigger();
    EXPECT_EQ(ReadAll(answer),
              VisibleMinutesCsv(form->Minutes(), form->ControlFormat(), form->Charts().VisibleSpan()));
    answer.clear();
    exportCsv->trigger();
    EXPECT_EQ(asked.last(), "Export CSV | " + exports.path() + "/2026-03-14_rx_data.csv");

    answer = dataDir.path() + "/missing/out.csv";
    exportCsv->trigger();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "Cannot write " + answer + ": No such file or directory.");
}

TEST_F(ExportTest, OnAFullDiskSaveAndExportKeepThePreviousFilesAndSayWhy) {
    marlix::test::SmallFileSystem disk("64k");
    if (!disk.Problem().empty()) GTEST_SKIP() << disk.Problem();
    const QString folder = QString::fromStdString(disk.Path().string());
    WriteFile(folder, "win.csv", "previous table\r\n");
    WriteFile(folder, "win.png", "previous picture");
    disk.Fill();
    WriteDay(yesterday);
    auto form = MakeAnsweringForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();

    QStringList messages;
    for (const auto& [action, name] :
         {std::pair{"PopupExportCsv", "win.csv"}, std::pair{"PopupExportCsv", "new.csv"},
          std::pair{"PopupSaveImage", "win.png"}}) {
        answer = folder + '/' + name;
        form->PopupMenu()->findChild<QAction*>(action)->trigger();
        messages << "Cannot write " + answer + ": No space left on device.";
    }
    QStringList shown;
    for (const auto& error : errors) shown << error.second;
    EXPECT_EQ(shown, messages);
    EXPECT_EQ(ReadAll(folder + "/win.csv"), "previous table\r\n");
    EXPECT_EQ(ReadAll(folder + "/win.png"), "previous picture");
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"filler", "win.csv", "win.png"}));
}

TEST_F(ExportTest, PopupMenuOffersCopySaveExportResetThenTheOtherWindows) {
    auto form = MakeForm();
    QStringList texts;
    for (QAction* action : form->PopupMenu()->actions())
        texts << action->text() + (action->shortcut().isEmpty() ? "" : " " + action->shortcut().toString());
    EXPECT_EQ(texts, (QStringList{"Copy Ctrl+C", "Save image... Ctrl+S", "Export CSV...", "Reset zoom", "",
                                  "History... Ctrl+H", "Satellites...", "", "Open folder... Ctrl+O"}));
}

TEST_F(ExportTest, CtrlSSavesTheImageAndCtrlCCopiesWithoutReachingTheFocusedControl) {
    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(QDateTime(yesterday, QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday, QTime(10, 3), Qt::UTC)));
    auto form = MakeAnsweringForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    answer = dataDir.path() + "/shot.png";
    QTest::keyClick(form->windowHandle(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{"Save image | " +
                                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                                 "/2026-03-14_rx_data.png"});
    EXPECT_EQ(QImage(answer), WindowPicture(*form, form->Interaction()));

    QGuiApplication::clipboard()->setText("before");
    QTest::keyClick(form->windowHandle(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), form->ClipboardText());
    EXPECT_TRUE(errors.empty());
}

class SaveImageTest : public ExportTest {
  protected:
    std::string Render(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int code = cli::RunRender(args, out, err);
        return code == 0 ? std::string() : err.str();
    }
};

TEST_F(SaveImageTest, SavedImageIsThePictureRenderMakesForTheSameSizeAndSpan) {
    auto form = ShowYesterday(QTime(10, 0), QTime(11, 30));
    form->resize(900, 600);
    form->Interaction().ZoomTo(At(yesterday, 10, 15), At(yesterday, 10, 45));
    // The pointer over a chart: neither its line nor the readout belongs in the picture.
    TFormMain& window = *form;
    const chart::TChartPanel& pdop = *window.ChartPDOP();
    QTest::mouseMove(window.ChartPDOP(),
                     QPoint(pdop.Chart().BottomAxis().ValueToPixel(At(yesterday, 10, 30)), 60));
    ASSERT_TRUE(window.Interaction().Readout()->isVisible());
    const QString saved = dataDir.path() + "/saved.png";
    SaveWindowPicture(window, window.Interaction(), saved);
    EXPECT_TRUE(window.Interaction().Readout()->isVisible());

    const std::string rendered = (dataDir.path() + "/rendered.png").toStdString();
    ASSERT_EQ(Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--size", "900x600",
                      "--from", "10:15", "--to", "10:45", "--out", rendered}),
              "");
    const QImage a(saved), b(QString::fromStdString(rendered));
    ASSERT_EQ(a.size(), QSize(900, 600));
    EXPECT_TRUE(a == b);

    const std::string unzoomed = (dataDir.path() + "/day.png").toStdString();
    ASSERT_EQ(Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--size", "900x600",
                      "--out", unzoomed}),
              "");
    EXPECT_FALSE(a == QImage(QString::fromStdString(unzoomed)));
}

}  // namespace
}  // namespace marlix::ui::test
