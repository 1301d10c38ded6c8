// Zoom, pan and the cursor on the three signal charts, driven through mouse and key events.
#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QWheelEvent>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "FormFixture.h"
#include "marlix/signal_charts/SignalCharts.h"
#include "support/locales.h"
#include "ui/ChartInteraction.h"
#include "ui/HistoryWindow.h"
#include "ui/SatelliteView.h"

namespace marlix::ui::test {
namespace {

using chart::TChart;
using chart::TChartPanel;

class InteractionTest : public FormFixture {
  protected:
    std::vector<TChartPanel*> Panels(TFormMain& form) {
        return {form.ChartStrength(), form.ChartPDOP(), form.ChartMode()};
    }
    // Runs every pass the charts owe and delivers the repaints, as the event loop would.
    void Settle(TFormMain& form) {
        QApplication::processEvents();
        for (TChartPanel* panel : Panels(form)) panel->Chart().RedrawIfPending();
        QApplication::processEvents();
    }
    std::unique_ptr<TFormMain> ShowDay(QDate date, QTime from, QTime to) {
        WriteFile(dataDir.path(), DayName(date),
                  RecordBlocks(QDateTime(date, from, Qt::UTC), QDateTime(date, to, Qt::UTC)));
        auto form = MakeForm();
        form->SetPickerDate(date);
        form->DateTimePickerChange();
        form->WaitForLoad();
        Settle(*form);
        return form;
    }
    static double At(QDate date, int hour, int minute, int second = 0) {
        return core::EncodeDateTime(date.year(), date.month(), date.day(), hour, minute, second);
    }
    static int MiddleY(const TChartPanel& panel) {
        const chart::TRect& plot = panel.Chart().PlotRect();
        return (plot.Top + plot.Bottom) / 2;
    }
    static int XOf(const TChartPanel& panel, double time) {
        return panel.Chart().BottomAxis().ValueToPixel(time);
    }
    static void Wheel(TChartPanel& panel, QPoint at, int angle) {
        QWheelEvent event(at, panel.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&panel, &event);
    }
    static void ExpectRange(TFormMain& form, double minimum, double maximum) {
        for (TChartPanel* panel : {form.ChartStrength(), form.ChartPDOP(), form.ChartMode()}) {
            EXPECT_EQ(panel->Chart().BottomAxis().Minimum(), minimum) << panel->objectName().toStdString();
            EXPECT_EQ(panel->Chart().BottomAxis().Maximum(), maximum) << panel->objectName().toStdString();
        }
    }
    void ExpectDayRange(TFormMain& form, QDate date) {
        const double day = core::EncodeDate(date.year(), date.month(), date.day());
        ExpectRange(form, day, day + 0.999);
        EXPECT_FALSE(form.Charts().Zoomed());
    }
};

using DragZoomTest = InteractionTest;

TEST_F(DragZoomTest, DragAcrossOneChartSetsTheSameSpanOnAllThreeAndKeepsTheirEdgesAligned) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    TChartPanel& pdop = *form->ChartPDOP();
    const int y = MiddleY(pdop);
    const int x1 = XOf(pdop, At(yesterday, 10, 30));
    const int x2 = XOf(pdop, At(yesterday, 11, 30));
    const double from = pdop.Chart().BottomAxis().PixelToValue(x1);
    const double to = pdop.Chart().BottomAxis().PixelToValue(x2);

    QTest::mousePress(&pdop, Qt::LeftButton, Qt::NoModifier, QPoint(x1, y));
    QTest::mouseMove(&pdop, QPoint((x1 + x2) / 2, y));
    ASSERT_TRUE(form->Interaction().Band().has_value());
    EXPECT_EQ(form->Interaction().Band()->from, from);
    QTest::mouseRelease(&pdop, Qt::LeftButton, Qt::NoModifier, QPoint(x2, y));
    Settle(*form);

    ExpectRange(*form, from, to);
    EXPECT_TRUE(form->Charts().Zoomed());
    EXPECT_FALSE(form->Interaction().Band().has_value());
    const int left = form->ChartStrength()->Chart().PlotRect().Left;
    const int right = form->ChartStrength()->Chart().PlotRect().Right;
    for (TChartPanel* panel : Panels(*form)) {
        EXPECT_EQ(panel->Chart().PlotRect().Left, left) << panel->objectName().toStdString();
        EXPECT_LE(std::abs(panel->Chart().PlotRect().Right - right), 1) << panel->objectName().toStdString();
    }
}

TEST_F(DragZoomTest, DragOfFewerThanFivePixelsLeavesTheDayRange) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    TChartPanel& strength = *form->ChartStrength();
    const int y = MiddleY(strength);
    const int x = XOf(strength, At(yesterday, 12, 0));
    QTest::mousePress(&strength, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    QTest::mouseMove(&strength, QPoint(x + 4, y));
    EXPECT_FALSE(form->Interaction().Band().has_value());
    QTest::mouseRelease(&strength, Qt::LeftButton, Qt::NoModifier, QPoint(x + 4, y));
    ExpectDayRange(*form, yesterday);
}

TEST_F(DragZoomTest, TwentyMinuteViewStepsItsLabelsByFiveMinutes) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    form->Interaction().ZoomTo(At(yesterday, 10, 0), At(yesterday, 10, 20));
    Settle(*form);
    for (TChartPanel* panel : Panels(*form)) {
        const chart::TChartAxis& bottom = panel->Chart().BottomAxis();
        std::vector<std::string> texts;
        for (const chart::TDrawnLabel& label : bottom.DrawnLabels()) texts.push_back(label.Text);
        EXPECT_EQ(texts, (std::vector<std::string>{"10:20", "10:15", "10:10", "10:05", "10:00"}))
            << panel->objectName().toStdString();
        EXPECT_DOUBLE_EQ(bottom.LastIncrement(), 5.0 / 1440);
    }
}

TEST_F(DragZoomTest, ShortSpanWidensToFiveMinutesAndStaysInsideTheDay) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    form->Interaction().ZoomTo(At(yesterday, 10, 0), At(yesterday, 10, 1));
    ExpectRange(*form, At(yesterday, 10, 0) - 2.0 / 1440, At(yesterday, 10, 3));
    form->Interaction().ZoomTo(At(yesterday, 0, 0) - 0.01, At(yesterday, 0, 30) - 0.01);
    ExpectRange(*form, At(yesterday, 0, 0), At(yesterday, 0, 30));
}

using ResetZoomTest = InteractionTest;

TEST_F(ResetZoomTest, EscapeHomeDoubleClickAndTheMenuRestoreTheDayRange) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    const std::vector<std::function<void()>> resets{
        [&] { QTest::keyClick(form->windowHandle(), Qt::Key_Escape); },
        [&] { QTest::keyClick(form->windowHandle(), Qt::Key_Home); },
        [&] {
            TChartPanel& mode = *form->ChartMode();
            QTest::mouseDClick(&mode, Qt::LeftButton, Qt::NoModifier,
                               QPoint(XOf(mode, At(yesterday, 10, 40)), 40));
        },
        [&] { form->PopupMenu()->findChild<QAction*>("PopupResetZoom")->trigger(); },
    };
    for (std::size_t i = 0; i < resets.size(); ++i) {
        form->Interaction().ZoomTo(At(yesterday, 10, 30), At(yesterday, 11, 0));
        Settle(*form);
        ASSERT_TRUE(form->Charts().Zoomed()) << i;
        resets[i]();
        ExpectDayRange(*form, yesterday);
    }
    // Escape also takes the cursor line away.
    TChartPanel& strength = *form->ChartStrength();
    QTest::mouseMove(&strength, QPoint(XOf(strength, At(yesterday, 10, 40)), MiddleY(strength)));
    ASSERT_TRUE(form->Interaction().CursorTime());
    QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(form->Interaction().CursorTime());
    EXPECT_FALSE(form->Interaction().Readout()->isVisible());
    EXPECT_TRUE(errors.empty());
}

TEST_F(ResetZoomTest, DayRangeAfterAResetLooksAsBeforeTheZoom) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    // The alignment a resize would run takes up the legend-gap pixel first, so what follows
    // compares settled layouts.
    form->Charts().AlignCharts();
    Settle(*form);
    std::vector<std::vector<chart::TDrawnLabel>> labels;
    std::vector<chart::TRect> plots;
    for (TChartPanel* panel : Panels(*form)) {
        labels.push_back(panel->Chart().BottomAxis().DrawnLabels());
        plots.push_back(panel->Chart().PlotRect());
    }
    form->Interaction().ZoomTo(At(yesterday, 10, 30), At(yesterday, 11, 0));
    Settle(*form);
    form->Interaction().ResetZoom();
    Settle(*form);
    for (std::size_t i = 0; i < 3; ++i) {
        const TChart& chart = Panels(*form)[i]->Chart();
        EXPECT_TRUE(chart.BottomAxis().DrawnLabels() == labels[i]) << i;
        EXPECT_EQ(chart.PlotRect().Left, plots[i].Left);
        EXPECT_EQ(chart.PlotRect().Right, plots[i].Right);
        EXPECT_EQ(chart.PlotRect().Top, plots[i].Top);
        EXPECT_EQ(chart.PlotRect().Bottom, plots[i].Bottom);
    }
}

TEST_F(ResetZoomTest, ReloadOfTheSameDayKeepsTheZoomAndAnotherDayShowsItsWholeRange) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    WriteDay(today);
    const double from = At(yesterday, 10, 30), to = At(yesterday, 11, 0);
    form->Interaction().ZoomTo(from, to);
    QTest::keyClick(form->windowHandle(), Qt::Key_F5);
    form->WaitForLoad();
    EXPECT_EQ(form->LoadCount(), 2);
    ExpectRange(*form, from, to);
    form->DateTimePickerChange();  // as the automatic refresh reloads
    form->WaitForLoad();
    ExpectRange(*form, from, to);

    QTest::keyClick(form->windowHandle(), '.');
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today);
    ExpectDayRange(*form, today);
    QTest::keyClick(form->windowHandle(), ',');
    form->WaitForLoad();
    ExpectDayRange(*form, yesterday);  // the zoom of a day is not remembered once another was shown
}

using WheelAndPanTest = InteractionTest;

TEST_F(WheelAndPanTest, WheelZoomsAroundTheTimeUnderThePointer) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    TChartPanel& strength = *form->ChartStrength();
    const chart::TChartAxis& axis = strength.Chart().BottomAxis();
    const QPoint at(XOf(strength, At(yesterday, 7, 0)), MiddleY(strength));
    for (int angle : {120, 240, -120}) {
        const double under = axis.PixelToValue(at.x());
        const double span = axis.Maximum() - axis.Minimum();
        Wheel(strength, at, angle);
        Settle(*form);
        const double pixel = (axis.Maximum() - axis.Minimum()) / axis.IAxisSize();
        EXPECT_NEAR(axis.PixelToValue(at.x()), under, pixel) << angle;
        EXPECT_NEAR(axis.Maximum() - axis.Minimum(), span * std::pow(0.8, angle / 120), 1e-9) << angle;
    }
    ExpectRange(*form, form->ChartStrength()->Chart().BottomAxis().Minimum(),
                form->ChartStrength()->Chart().BottomAxis().Maximum());
    Wheel(strength, at, -120 * 20);  // zooming out past the day ends at the day
    ExpectDayRange(*form, yesterday);
}

TEST_F(WheelAndPanTest, MiddleOrShiftDragMovesTheSpanWithThePointerAndStopsAtTheDayEnd) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    form->Interaction().ZoomTo(At(yesterday, 10, 0), At(yesterday, 11, 0));
    Settle(*form);
    TChartPanel& mode = *form->ChartMode();
    const chart::TChartAxis& axis = mode.Chart().BottomAxis();
    const int y = MiddleY(mode);
    for (auto [button, modifiers] :
         {std::pair(Qt::MiddleButton, Qt::NoModifier), std::pair(Qt::LeftButton, Qt::ShiftModifier)}) {
        const int x = XOf(mode, At(yesterday, 10, 20));
        const double grabbed = axis.PixelToValue(x);
        const double span = axis.Maximum() - axis.Minimum();
        QTest::mousePress(&mode, button, modifiers, QPoint(x, y));
        QTest::mouseMove(&mode, QPoint(x + 100, y));
        QTest::mouseRelease(&mode, button, modifiers, QPoint(x + 100, y));
        Settle(*form);
        EXPECT_NEAR(axis.PixelToValue(x + 100), grabbed, span / axis.IAxisSize());
        EXPECT_DOUBLE_EQ(axis.Maximum() - axis.Minimum(), span);
        EXPECT_FALSE(form->Interaction().Band().has_value());
    }
    form->Interaction().PanBy(-1);
    const chart::TChartAxis& strength = form->ChartStrength()->Chart().BottomAxis();
    EXPECT_EQ(strength.Minimum(), At(yesterday, 0, 0));
    EXPECT_NEAR(strength.Maximum(), At(yesterday, 1, 0), 1e-9);
}

TEST_F(WheelAndPanTest, PanningTheWholeDayChangesNothing) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    form->Interaction().PanBy(0.25);
    ExpectDayRange(*form, yesterday);
}

using CursorTest = InteractionTest;

TEST_F(CursorTest, PointerOverOneChartDrawsTheLineOnAllThreeWithoutADrawingPass) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    std::vector<long> passes;
    for (TChartPanel* panel : Panels(*form)) passes.push_back(panel->Chart().PassCount());

    TChartPanel& pdop = *form->ChartPDOP();
    for (int minute = 0; minute < 60; minute += 10) {
        QTest::mouseMove(&pdop, QPoint(XOf(pdop, At(yesterday, 9, minute)), MiddleY(pdop)));
        QApplication::processEvents();
    }
    const int x = XOf(pdop, At(yesterday, 9, 50));
    ASSERT_TRUE(form->Interaction().CursorTime().has_value());
    EXPECT_EQ(*form->Interaction().CursorTime(), pdop.Chart().BottomAxis().PixelToValue(x));
    for (TChartPanel* panel : Panels(*form)) {
        const QImage shown = panel->grab().toImage();
        EXPECT_EQ(shown.pixelColor(x, MiddleY(*panel)), QColor(192, 0, 0))
            << panel->objectName().toStdString();
        EXPECT_EQ(shown.pixelColor(x + 1, MiddleY(*panel)),
                  panel->Picture().pixelColor(x + 1, MiddleY(*panel)));
    }
    for (std::size_t i = 0; i < passes.size(); ++i)
        EXPECT_EQ(Panels(*form)[i]->Chart().PassCount(), passes[i]);
}

TEST_F(CursorTest, ReadoutFollowsThePointerAndLeavingTheChartsHidesIt) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    TChartPanel& mode = *form->ChartMode();
    const QPoint at(XOf(mode, At(yesterday, 10, 30)), MiddleY(mode));
    QTest::mouseMove(&mode, at);
    QLabel* readout = form->Interaction().Readout();
    ASSERT_TRUE(readout->isVisible());
    EXPECT_EQ(readout->text(),
              CursorReadout(form->Minutes(), form->ControlFormat(), *form->Interaction().CursorTime()));
    EXPECT_TRUE(form->rect().contains(readout->geometry()));
    EXPECT_FALSE(readout->geometry().contains(mode.mapTo(form.get(), at)));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&mode, &leave);
    EXPECT_FALSE(readout->isVisible());
    EXPECT_FALSE(form->Interaction().CursorTime().has_value());

    QTest::mouseMove(&mode, QPoint(2, at.y()));  // left of the plot rectangle
    EXPECT_FALSE(readout->isVisible());
}

TEST_F(CursorTest, OpeningThePopupMenuTakesTheCursorAndReadoutAway) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    TChartPanel& strength = *form->ChartStrength();
    const QPoint at(XOf(strength, At(yesterday, 11, 0)), MiddleY(strength));
    QTest::mouseMove(&strength, at);
    ASSERT_TRUE(form->Interaction().Readout()->isVisible());
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, strength.mapToGlobal(at));
    QApplication::sendEvent(&strength, &menu);
    EXPECT_FALSE(form->Interaction().Readout()->isVisible());
    EXPECT_FALSE(form->Interaction().CursorTime().has_value());
    EXPECT_TRUE(form->PopupMenu()->isVisible());
    form->PopupMenu()->close();
}

using ReadoutTest = InteractionTest;

TEST_F(ReadoutTest, GivesTheNearestMinuteByNameWithFixAndModeAsWords) {
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    // The point closed at 11:00:01 holds the records of minute 10:59.
    EXPECT_EQ(CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 11, 0, 29)),
              "11:00:29 UTC\nMinute 10:59\nStrength: 4.17\nNum good: 4\n2D/3D fix: 3D\nTrend: 4.17\nPDOP: 2\n"
              "Signal: 83.33\nMode: Fine");
    // Outside the records nothing from hours away; a view of several days names the date.
    EXPECT_EQ(CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 8, 7)),
              "08:07:00 UTC\nno records before 10:00");
    EXPECT_EQ(CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 13, 0), {}, true),
              "2026-03-14 13:00:00 UTC\nno records after 11:59");
}

TEST_F(ReadoutTest, InsideAGapSaysNoRecordsInsteadOfTheZeroPointsAndAfterItTheMinute) {
    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(QDateTime(yesterday, QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday, QTime(10, 20), Qt::UTC)) +
                  RecordBlocks(QDateTime(yesterday, QTime(10, 40), Qt::UTC),
                               QDateTime(yesterday, QTime(10, 50), Qt::UTC)));
    auto form = MakeForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    // The last minute closes at 10:19:01; the records at 10:20:00 and 10:40:00 close at 10:40:01.
    EXPECT_EQ(CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 10, 25)),
              "10:25:00 UTC\nno records 10:20\u201310:39");
    EXPECT_EQ(
        CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 10, 45)),
        "10:45:00 UTC\nMinute 10:44\nStrength: 4.17\nNum good: 4\n2D/3D fix: 3D\nTrend: \u2014\nPDOP: 2\n"
        "Signal: 83.33\nMode: Fine");
}

TEST_F(ReadoutTest, ControlFormatNamesTheModeControlAndEmptyDayShowsDashes) {
    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(QDateTime(yesterday, QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday, QTime(10, 5), Qt::UTC), true));
    auto form = MakeForm();
    const QString dashes =
        "Strength: \u2014\nNum good: \u2014\n2D/3D fix: \u2014\nTrend: \u2014\nPDOP: \u2014\n"
        "Signal: \u2014\nMode: \u2014";
    EXPECT_EQ(CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 10, 2)),
              "10:02:00 UTC\n" + dashes);
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    EXPECT_TRUE(CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 10, 2))
                    .endsWith("\nMode: Control"));
}

using NearestPointTest = ::testing::Test;

TEST_F(NearestPointTest, PicksTheCloserNeighbourAndOnATieTheOneAtOrAfter) {
    TChart chart;
    chart::TChartSeries& series = chart.AddFastLineSeries("S");
    EXPECT_EQ(NearestPointIndex(series, 5), -1);
    for (double x : {1.0, 2.0, 2.0, 4.0}) series.AddPoint(x, 0);
    EXPECT_EQ(NearestPointIndex(series, 0), 0);
    EXPECT_EQ(NearestPointIndex(series, 1.4), 0);
    EXPECT_EQ(NearestPointIndex(series, 1.5), 1);  // tie: the point after
    EXPECT_EQ(NearestPointIndex(series, 2), 1);    // the first of equal X values at the cursor
    EXPECT_EQ(NearestPointIndex(series, 2.9), 2);  // the last of equal X values before the cursor
    EXPECT_EQ(NearestPointIndex(series, 3.1), 3);
    EXPECT_EQ(NearestPointIndex(series, 9), 3);
}

// An exception from the handling of a panel event goes to the guard and never on into Qt's loop.
class ThrowingInteraction : public TChartInteraction {
  public:
    using TChartInteraction::TChartInteraction;

  protected:
    bool FilterPanelEvent(TChartPanel&, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) throw std::runtime_error("Broken handler");
        if (event->type() == QEvent::MouseButtonDblClick) throw 42;
        return false;
    }
};

TEST(ChartInteractionGuard, ExceptionsOfPanelEventsGoToTheGuardAndNoFurther) {
    QWidget parent;
    std::array<TChartPanel*, 3> panels{new TChartPanel(&parent), new TChartPanel(&parent),
                                       new TChartPanel(&parent)};
    TSignalCharts charts(panels[0]->Chart(), panels[1]->Chart(), panels[2]->Chart());
    ThrowingInteraction interaction(charts, panels, &parent);
    QStringList reported;
    interaction.SetGuard([&](const std::function<void()>& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            reported << e.what();
        }
    });
    QTest::mousePress(panels[1], Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(reported, QStringList{"Broken handler"});
    // Not even what the guard lets through leaves the filter.
    QTest::mouseDClick(panels[1], Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    interaction.SetGuard({});
    QTest::mousePress(panels[2], Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(reported, QStringList{"Broken handler"});
}

// The charts follow the decimal and time separators of the user's locale, as the texts do: Finnish
// writes "4,17" and "11.00". The window reads them from the environment (LC_ALL here), Qt's own
// controls from QLocale.
class ChartLocaleTest : public InteractionTest {
  protected:
    void SetUp() override {
        InteractionTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland));
        if (const char* all = std::getenv("LC_ALL")) savedAll_ = all;
        setenv("LC_ALL", "fi_FI.UTF-8", 1);
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        if (savedAll_)
            setenv("LC_ALL", savedAll_->c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    std::optional<std::string> savedAll_;
};

TEST_F(ChartLocaleTest, MainChartsReadoutHistoryAndSatellitesUseTheLocaleSeparators) {
    MARLIX_REQUIRE_LOCALE("fi_FI.UTF-8");
    auto form = ShowDay(yesterday, QTime(10, 0), QTime(11, 59, 59));
    ASSERT_EQ(QLocale().decimalPoint(), ",");
    ASSERT_EQ(QLocale().timeFormat(QLocale::ShortFormat), "H.mm");

    EXPECT_EQ(CursorReadout(form->Minutes(), form->ControlFormat(), At(yesterday, 11, 0, 29),
                            form->Charts().Locale()),
              "11.00.29 UTC\nMinute 10.59\nStrength: 4,17\nNum good: 4\n2D/3D fix: 3D\nTrend: 4,17\nPDOP: 2\n"
              "Signal: 83,33\nMode: Fine");
    for (TChartPanel* panel : Panels(*form)) {
        const auto& labels = panel->Chart().BottomAxis().DrawnLabels();
        ASSERT_FALSE(labels.empty()) << panel->objectName().toStdString();
        for (const chart::TDrawnLabel& label : labels)
            EXPECT_TRUE(
                QRegularExpression("^\\d\\d\\.\\d\\d$").match(QString::fromStdString(label.Text)).hasMatch())
                << label.Text;
        EXPECT_EQ(panel->Chart().LeftAxis().LabelValue(2.5), "2,5");
    }

    form->PopupHistoryClick();
    QApplication::processEvents();
    ASSERT_NE(form->HistoryWindow(), nullptr);
    EXPECT_EQ(form->HistoryWindow()->Panel(THistoryMetric::AveragePdop).Chart().LeftAxis().LabelValue(2.25),
              "2,25");
    form->HistoryWindow()->close();

    form->PopupSatellitesClick();
    form->WaitForLoad();
    TSatelliteView& satellites = *form->SatelliteView();
    const QPoint cell(satellites.TimeToPixel(At(yesterday, 10, 30, 30)), satellites.StripRect().top() + 1);
    EXPECT_TRUE(QRegularExpression("^Satellite \\d+, 10\\.30 UTC, level \\d+,\\d$")
                    .match(satellites.HoverText(cell))
                    .hasMatch())
        << satellites.HoverText(cell).toStdString();
    satellites.close();
}

}  // namespace
}  // namespace marlix::ui::test
