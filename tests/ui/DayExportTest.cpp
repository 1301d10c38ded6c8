// Save image, CSV export of the visible points, the proposed names, the popup menu and its keys.
#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <sstream>

#include "FormFixture.h"
#include "render.h"
#include "signal_charts/SignalCharts.h"
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
    EXPECT_EQ(IsoUtcTime(At(day, 10, 1, 1)), "2026-03-14T10:01:01Z");
    EXPECT_EQ(IsoUtcTime(At(day, 10, 1, 1, 500)), "2026-03-14T10:01:01.500Z");
    EXPECT_EQ(IsoUtcTime(At(day, 0, 0, 0, 7)), "2026-03-14T00:00:00.007Z");
    EXPECT_EQ(IsoUtcTime(At(day, 0, 0) + 0.999), "2026-03-14T23:58:33.600Z");
}

using ProposedNameTest = ::testing::Test;

TEST_F(ProposedNameTest, DayFileInTheDataDirectoryOrADroppedFileInItsFolder) {
    EXPECT_EQ(ProposedExportName({"2026-03-14_rx_data.txt"}, "/data/logs/", ".csv"),
              "/data/logs/2026-03-14_rx_data.csv");
    EXPECT_EQ(ProposedExportName({"/tmp/drop/2026-03-13_rx_data.txt", "/tmp/drop/2026-03-14_rx_data.txt"},
                                 "/data/logs/", ".png"),
              "/tmp/drop/2026-03-13_rx_data.png");
    EXPECT_EQ(ProposedExportName({}, "/data/logs/", ".csv"), "/data/logs/export.csv");
}

class ExportTest : public FormFixture {
  protected:
    std::unique_ptr<TFormMain> ShowYesterday(QTime from, QTime to) {
        WriteFile(dataDir.path(), DayName(yesterday),
                  RecordBlocks(QDateTime(yesterday, from, Qt::UTC), QDateTime(yesterday, to, Qt::UTC)));
        auto form = MakeForm();
        form->SetPickerDate(yesterday);
        form->DateTimePickerChange();
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

TEST_F(ExportTest, CsvHoldsExactlyThePointsOfTheVisibleSpanWithBothEnds) {
    // Each minute's points sit at second 01 of the next minute, when the minute closes.
    auto form = ShowYesterday(QTime(10, 0), QTime(10, 6, 30));
    form->Charts().SetTimeSpan(At(yesterday, 10, 2, 1), At(yesterday, 10, 4, 1));
    const QString rows[] = {"Strength,4.166668891906738", "Num good,4", "2D/3D fix,1.6", "PDOP,2",
                            "Signal,83.33330154418945",   "Mode,20"};
    QString expected = "time,series,value\n";
    for (const QString& row : rows) {
        for (int minute = 2; minute <= 4; ++minute)
            expected += QString("2026-03-14T10:0%1:01Z,%2\n").arg(minute).arg(row);
    }
    EXPECT_EQ(VisiblePointsCsv(form->Charts()), expected);

    form->Charts().SetTimeSpan(At(yesterday, 10, 2, 2), At(yesterday, 10, 3, 2));
    QString one = "time,series,value\n";
    for (const QString& row : rows) one += "2026-03-14T10:03:01Z," + row + '\n';
    EXPECT_EQ(VisiblePointsCsv(form->Charts()), one);
}

TEST_F(ExportTest, UnzoomedDayLeavesOutTheLastMinuteThatFallsPastTheDayRange) {
    auto form = ShowYesterday(QTime(23, 57), QTime(23, 59, 59));
    // The day range ends at 23:58:33.6: the 23:59:01 and later points are out of view.
    EXPECT_EQ(VisiblePointsCsv(form->Charts()),
              "time,series,value\n"
              "2026-03-14T23:58:01Z,Strength,0\n2026-03-14T23:58:01Z,Strength,4.166668891906738\n"
              "2026-03-14T23:58:01Z,Num good,0\n2026-03-14T23:58:01Z,Num good,4\n"
              "2026-03-14T23:58:01Z,2D/3D fix,0\n2026-03-14T23:58:01Z,2D/3D fix,1.6\n"
              "2026-03-14T23:58:01Z,PDOP,10\n2026-03-14T23:58:01Z,PDOP,2\n"
              "2026-03-14T23:58:01Z,Signal,0\n2026-03-14T23:58:01Z,Signal,83.33329998078894\n"
              "2026-03-14T23:58:01Z,Mode,0\n2026-03-14T23:58:01Z,Mode,20\n");
    EXPECT_GT(form->ChartStrength()->Chart().Series(0).XValues().Value(
                  form->ChartStrength()->Chart().Series(0).PointCount() - 1),
              At(yesterday, 23, 59));
}

TEST_F(ExportTest, MenuExportProposesTheDayNameAndWritesTheFileOrNothingWhenCancelled) {
    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(QDateTime(yesterday, QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday, QTime(10, 3), Qt::UTC)));
    auto form = MakeAnsweringForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    QAction* exportCsv = form->PopupMenu()->findChild<QAction*>("PopupExportCsv");
    ASSERT_NE(exportCsv, nullptr);

    exportCsv->trigger();  // cancelled: the answer is empty
    EXPECT_EQ(asked, QStringList{"Export CSV | " + dataDir.path() + "/2026-03-14_rx_data.csv"});
    EXPECT_EQ(QDir(dataDir.path()).entryList({"*.csv"}), QStringList{});

    answer = dataDir.path() + "/out.csv";
    exportCsv->trigger();
    EXPECT_EQ(ReadAll(answer), VisiblePointsCsv(form->Charts()));

    answer = dataDir.path() + "/missing/out.csv";
    exportCsv->trigger();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "Cannot write " + answer + ".");
}

TEST_F(ExportTest, PopupMenuOffersCopySaveExportResetThenTheOtherWindows) {
    auto form = MakeForm();
    QStringList texts;
    for (QAction* action : form->PopupMenu()->actions()) texts << action->text();
    EXPECT_EQ(texts, (QStringList{"Copy", "Save image...", "Export CSV...", "Reset zoom", "", "History...",
                                  "Satellites..."}));
}

TEST_F(ExportTest, CtrlSSavesTheImageAndCtrlCCopiesWithoutReachingTheFocusedControl) {
    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(QDateTime(yesterday, QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday, QTime(10, 3), Qt::UTC)));
    auto form = MakeAnsweringForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    answer = dataDir.path() + "/shot.png";
    QTest::keyClick(form->windowHandle(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{"Save image | " + dataDir.path() + "/2026-03-14_rx_data.png"});
    EXPECT_EQ(QImage(answer), WindowPicture(*form));

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
    SaveWindowPicture(window, saved);
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
