// The History and Satellites windows opened from the main window, and how they follow it.
#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

#include <QAction>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "FormFixture.h"
#include "ui/ChartInteraction.h"
#include "ui/DayDate.h"
#include "ui/HistoryWindow.h"
#include "ui/SatelliteView.h"

namespace marlix::ui::test {
namespace {

using DayWindowsTest = FormFixture;

// Three stations, as the command line names them: the data folder "roof-a" with today's partial
// day, "roof-b" (its folder's name) without the day before yesterday, and "mast". Their average
// PDOPs are 2, 4 and 6, so that their lines lie apart.
class ThreeStationsTest : public FormFixture {
  protected:
    void SetUp() override {
        FormFixture::SetUp();
        ASSERT_TRUE(others.isValid());
        for (const char* name : {"roof-b", "mast"}) ASSERT_TRUE(QDir(others.path()).mkpath(name));
        for (int back = 4; back >= 1; --back) {
            WriteStationDay(dataDir.path(), today.addDays(-back), 2);
            if (back != 2) WriteStationDay(Folder("roof-b"), today.addDays(-back), 4);
            WriteStationDay(Folder("mast"), today.addDays(-back), 6);
        }
        WriteStationDay(dataDir.path(), today, 2, QTime(10, 0, 30));
        stationLabel = "roof-a";
        compare = {{Folder("roof-b"), {}}, {Folder("mast"), "mast"}};
    }
    QString Folder(const QString& name) const { return others.path() + '/' + name; }
    static void WriteStationDay(const QString& folder, QDate date, int pdop, QTime to = QTime(10, 2, 30)) {
        WriteFile(folder, DayName(date),
                  RecordBlocks(QDateTime(date, QTime(10, 0, 0), Qt::UTC), QDateTime(date, to, Qt::UTC))
                      .replace("PDOP      : 2", QString("PDOP      : %1").arg(pdop)));
    }
    // Starts as the program does with the stations on its command line: History opens by itself.
    std::unique_ptr<TFormMain> StartWithStations() {
        auto form = MakeStartedForm({dataDir.path()});
        form->TimerRunTimer();
        form->WaitForLoad();
        form->WaitForHistory();
        return form;
    }
    // Where a station's line is drawn on the PDOP chart for a day (fractions of a day between days).
    static QPoint PdopPoint(THistoryWindow& history, double day, double pdop) {
        chart::TChart& chart = history.Panel(THistoryMetric::AveragePdop).Chart();
        chart.RedrawIfPending();
        return {chart.BottomAxis().ValueToPixel(day), chart.LeftAxis().ValueToPixel(pdop)};
    }

    QTemporaryDir others;
};

TEST_F(DayWindowsTest, SatellitesWindowGetsTheShownDayAndFollowsTheZoom) {
    auto form = MakeForm();
    WriteDay(yesterday);
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    ASSERT_EQ(form->SatelliteView(), nullptr);

    form->PopupSatellitesClick();
    form->WaitForLoad();
    TSatelliteView* view = form->SatelliteView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    // The test log lists satellites 3, 7, 12, 19, 24 and 31 every second.
    EXPECT_EQ(view->Day().satellites, (std::vector<int>{3, 7, 12, 19, 24, 31}));
    EXPECT_EQ(form->LoadCount(), 2);  // the day once more, with the levels
    EXPECT_EQ(view->windowTitle(),
              "Satellites \u00b7 " + QDir(dataDir.path()).dirName() + " \u00b7 2026-03-14");

    const double from = core::EncodeDateTime(2026, 3, 14, 10, 0, 0);
    const auto firstShown = [view] { return view->MinuteAt(view->StripRect().left()).value_or(-1); };
    EXPECT_LT(firstShown(), from - 1.0 / 24);  // the whole day, from midnight
    form->Interaction().ZoomTo(from, from + 10.0 / 1440);
    EXPECT_NEAR(firstShown(), from, 1.0 / 1440);
    const int x = view->TimeToPixel(from + 5.0 / 1440);
    EXPECT_TRUE(view->HoverText(QPoint(x, view->StripRect().top() + 1)).contains("10:05 UTC"))
        << view->HoverText(QPoint(x, view->StripRect().top() + 1)).toStdString();

    // Another day reaches the open window.
    WriteDay(today.addDays(-2), false);
    form->SetPickerDate(today.addDays(-2));
    form->DateTimePickerChange();
    form->WaitForLoad();
    EXPECT_FALSE(view->Day().satellites.empty());
    EXPECT_EQ(form->LoadCount(), 3);
}

TEST_F(DayWindowsTest, LoadsWithoutTheSatellitesWindowDoNotReadTheLevels) {
    auto form = MakeForm();
    WriteDay(yesterday);
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    form->PopupSatellitesClick();
    form->WaitForLoad();
    form->SatelliteView()->hide();
    WriteDay(today.addDays(-2));
    form->SetPickerDate(today.addDays(-2));
    form->DateTimePickerChange();
    form->WaitForLoad();
    // The hidden window keeps the day it had.
    ASSERT_FALSE(form->SatelliteView()->Day().levels.empty());
    EXPECT_EQ(form->SatelliteView()->Day().levels.front().minute,
              core::EncodeDateTime(2026, 3, 14, 10, 0, 0));
}

TEST_F(DayWindowsTest, ClickedDayInTheHistoryIsShownInTheMainWindow) {
    auto form = MakeForm();
    for (QDate d : {today.addDays(-3), today.addDays(-2), yesterday}) WriteDay(d);
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    QTest::keyClick(form->windowHandle(), Qt::Key_H, Qt::ControlModifier);
    form->WaitForHistory();
    THistoryWindow* history = form->HistoryWindow();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    ASSERT_EQ(history->Days().size(), 3u);
    EXPECT_EQ(history->ShownDay(), yesterday);

    emit history->DayClicked(today.addDays(-3));
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today.addDays(-3));
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-12 from 10:00 to 10:02, 755 lines");
    EXPECT_EQ(history->ShownDay(), today.addDays(-3));
}

TEST_F(DayWindowsTest, HistoryOpensAtOnceFillsInAsDaysArriveAndStopsReadingWhenClosed) {
    auto form = MakeForm();
    for (QDate d : {today.addDays(-3), today.addDays(-2), yesterday}) WriteDay(d);
    form->SetPickerDate(yesterday);
    historyHold.Hold();
    form->PopupHistoryClick();
    THistoryWindow* history = form->HistoryWindow();
    EXPECT_TRUE(history->isVisible());
    EXPECT_TRUE(history->Reading());
    EXPECT_TRUE(history->Days().empty());
    historyHold.WaitForHeld();
    historyHold.Step();  // the days taken so far are read, the next ones held
    historyHold.WaitForHeld();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !history->Days().empty(); }, 5000));
    EXPECT_TRUE(history->Reading());

    history->close();
    form->WaitForHistory();  // returns only because closing stopped the held reads
    EXPECT_EQ(historyHold.Held(), 0);
    EXPECT_LT(history->Days().size(), 3u);
    EXPECT_FALSE(history->Reading());

    historyHold.Release();
    form->PopupHistoryClick();
    form->WaitForHistory();
    EXPECT_EQ(history->Days().size(), 3u);
    EXPECT_FALSE(history->Reading());
}

TEST_F(DayWindowsTest, HistoryWithoutAUsableStoreReadsTheLogsAndSaysSoOnce) {
    auto form = MakeForm();
    for (QDate d : {today.addDays(-3), today.addDays(-2), yesterday}) WriteDay(d);
    // The store's folder cannot be made: a file stands where it would be.
    QTemporaryDir cache;
    WriteFile(cache.path(), "marlix-sqa", "not a folder");
    const QByteArray cacheHome = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    form->SetPickerDate(yesterday);
    form->PopupHistoryClick();
    form->WaitForHistory();
    qputenv("XDG_CACHE_HOME", cacheHome);

    THistoryWindow* history = form->HistoryWindow();
    EXPECT_EQ(history->Days().size(), 3u);
    const QString notice = history->Notice()->text();
    EXPECT_TRUE(notice.startsWith("The day store " + cache.path() + "/marlix-sqa/")) << notice.toStdString();
    EXPECT_TRUE(notice.endsWith("the days are read from their logs")) << notice.toStdString();
    EXPECT_EQ(notice.count("The day store"), 1);
}

TEST_F(ThreeStationsTest, HistoryDrawsEachStationWithItsGapAndTodaysPartialDayApart) {
    auto form = StartWithStations();
    THistoryWindow* history = form->HistoryWindow();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    EXPECT_FALSE(history->Reading());
    EXPECT_EQ(history->windowTitle(), "History - month, 2026-02-13 to 2026-03-15 - roof-a, roof-b, mast");
    ASSERT_EQ(history->StationCount(), 3);
    EXPECT_EQ(history->Days(0).size(), 5u);
    EXPECT_EQ(history->Days(1).size(), 3u);
    EXPECT_EQ(history->Days(2).size(), 4u);
    EXPECT_TRUE(history->Legend()->text().contains("today, a partial day"));

    // Along each line, in the colour of its station: no line crosses roof-b's missing day, and none
    // joins today's partial day to yesterday, while whole days next to each other are joined.
    chart::TChartPanel& panel = history->Panel(THistoryMetric::AveragePdop);
    panel.Chart().RedrawIfPending();
    const QImage picture = panel.Picture();
    const chart::TRect plot = panel.Chart().PlotRect();
    const auto drawnInColour = [&](double day, QColor colour) {
        const QPoint at = PdopPoint(*history, day, 0) * picture.devicePixelRatio();
        for (int y = plot.Top; y < plot.Bottom; ++y) {
            if (picture.pixelColor(at.x(), qRound(y * picture.devicePixelRatio())) == colour) return true;
        }
        return false;
    };
    const double t = DayTimeOf(today);
    const QColor roofA(0, 128, 192), roofB(230, 120, 0);
    EXPECT_TRUE(drawnInColour(t - 3.5, roofB));
    EXPECT_FALSE(drawnInColour(t - 2, roofB));
    EXPECT_TRUE(drawnInColour(t - 1.5, roofA));
    EXPECT_FALSE(drawnInColour(t - 0.5, roofA));
}

TEST_F(ThreeStationsTest, ClickOnADayInHistoryShowsThatDayOfTheStationClicked) {
    auto form = StartWithStations();
    THistoryWindow* history = form->HistoryWindow();
    ASSERT_NE(history, nullptr);
    chart::TChartPanel& panel = history->Panel(THistoryMetric::AveragePdop);
    const double t = DayTimeOf(today);

    QTest::mouseClick(&panel, Qt::LeftButton, {}, PdopPoint(*history, t - 3, 6));
    form->WaitForLoad();
    EXPECT_EQ(form->DataDirectory(), Folder("mast") + '/');
    EXPECT_EQ(form->PickerDate(), today.addDays(-3));
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-12 from 10:00 to 10:02, 755 lines");
    EXPECT_EQ(history->MainStation(), 2);
    EXPECT_EQ(history->ShownDay(), today.addDays(-3));

    // Nearer roof-b's line than mast's, on a day both have.
    QTest::mouseClick(&panel, Qt::LeftButton, {}, PdopPoint(*history, t - 1, 4.6));
    form->WaitForLoad();
    EXPECT_EQ(form->DataDirectory(), Folder("roof-b") + '/');
    EXPECT_EQ(form->PickerDate(), yesterday);

    // Back to the first folder, which keeps its place and name among the stations.
    QTest::mouseClick(&panel, Qt::LeftButton, {}, PdopPoint(*history, t - 4, 2));
    form->WaitForLoad();
    EXPECT_EQ(form->DataDirectory(), dataDir.path() + '/');
    EXPECT_EQ(history->MainStation(), 0);
    EXPECT_EQ(history->Station(0).name, "roof-a");
}

TEST_F(ThreeStationsTest, HistorysPopupComparesWithAFolderAndPicksTheSpan) {
    auto form = MakeForm();
    form->SetPickerDate(yesterday);
    form->PopupHistoryClick();
    form->WaitForHistory();
    THistoryWindow* history = form->HistoryWindow();
    const auto trigger = [&](const char* name) {
        history->PopupMenu()->findChild<QAction*>(name)->trigger();
        form->WaitForHistory();
    };
    ASSERT_EQ(history->StationCount(), 1);

    folderAnswer = Folder("mast");
    trigger("PopupHistoryCompare");
    ASSERT_EQ(history->StationCount(), 2);
    EXPECT_EQ(history->Station(1).name, "mast");
    EXPECT_EQ(history->Days(1).size(), 4u);

    trigger("PopupHistoryYear");
    EXPECT_EQ(history->Span(), THistorySpan::Year);
    EXPECT_TRUE(history->windowTitle().startsWith("History - year, 2025-03-16 to 2026-03-15 - "));
    EXPECT_EQ(history->StationCount(), 2);

    trigger("PopupHistoryRemoveCompared");
    EXPECT_EQ(history->StationCount(), 1);
    EXPECT_EQ(history->Days().size(), 5u);
}

}  // namespace
}  // namespace marlix::ui::test
