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
#include "ui/HistoryWindow.h"
#include "ui/SatelliteView.h"

namespace marlix::ui::test {
namespace {

using DayWindowsTest = FormFixture;

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

TEST_F(DayWindowsTest, HistoryNamesStationAndSpanAndHatchesTodaysPartialDay) {
    auto form = MakeForm();
    for (QDate d : {today.addDays(-3), yesterday, today}) WriteDay(d);
    form->SetPickerDate(yesterday);
    form->PopupHistoryClick();
    form->WaitForHistory();
    THistoryWindow* history = form->HistoryWindow();
    EXPECT_EQ(history->windowTitle(),
              "History \u00b7 " + QDir(dataDir.path()).dirName() + " \u00b7 2026-03-12 \u2013 2026-03-15");
    chart::TChartPanel& panel = history->Panel(THistoryMetric::MeanStrength);
    const QImage picture = panel.grab().toImage();
    const chart::TRect& plot = panel.Chart().PlotRect();
    const auto hatched = [&](QDate day) {
        const int x =
            panel.Chart().BottomAxis().ValueToPixel(core::EncodeDate(day.year(), day.month(), day.day()));
        int hatch = 0;
        for (int dx = -6; dx <= 6; ++dx)
            for (int y = plot.Top + 2; y < plot.Bottom - 2; ++y)
                hatch += picture.pixelColor(x + dx, y) == QColor(230, 140, 0);
        return hatch > 0;
    };
    EXPECT_TRUE(hatched(today));
    EXPECT_FALSE(hatched(today.addDays(-3)));
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

}  // namespace
}  // namespace marlix::ui::test
