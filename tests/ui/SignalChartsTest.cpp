// The three signal charts after a load: day range, right-axis labels, lock-mode format, alignment.
#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

#include "FormFixture.h"
#include "marlix/signal_charts/SignalCharts.h"

namespace marlix::ui::test {
namespace {

using chart::TChart;

class SignalChartsTest : public FormFixture {
  protected:
    std::vector<TChart*> Charts(TFormMain& form) {
        return {&form.ChartStrength()->Chart(), &form.ChartPDOP()->Chart(), &form.ChartMode()->Chart()};
    }
    // Runs every pass the charts owe, as the next repaint would.
    void SettlePasses(TFormMain& form) {
        for (TChart* c : Charts(form)) c->RedrawIfPending();
    }
    std::vector<std::string> RightItemTexts(TChart& chart) {
        std::vector<std::string> texts;
        auto& items = chart.RightAxis().Items();
        for (int i = 0; i < items.Count(); ++i) texts.push_back(items.Item(i).Text());
        return texts;
    }
    void Load(TFormMain& form, QDate date) {
        form.SetPickerDate(date);
        form.DateTimePickerChange();
        form.WaitForLoad();
    }
};

TEST_F(SignalChartsTest, DayAcrossMidnightWidensOnlyWithANextDayRecordOutsideHourAndMinuteZero) {
    auto form = MakeForm();
    const QDateTime start(yesterday, QTime(23, 50, 0), Qt::UTC);
    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(start, QDateTime(today, QTime(1, 0, 59), Qt::UTC)));
    Load(*form, yesterday);
    const double first = core::EncodeDate(2026, 3, 14);
    for (TChart* c : Charts(*form)) {
        EXPECT_FALSE(c->BottomAxis().Automatic());
        EXPECT_EQ(c->BottomAxis().Minimum(), first);
        EXPECT_EQ(c->BottomAxis().Maximum(), first + 0.999);
    }

    WriteFile(dataDir.path(), DayName(yesterday),
              RecordBlocks(start, QDateTime(today, QTime(1, 5, 0), Qt::UTC)));
    Load(*form, yesterday);
    for (TChart* c : Charts(*form)) {
        EXPECT_EQ(c->BottomAxis().Minimum(), first);
        EXPECT_EQ(c->BottomAxis().Maximum(), first + 1 + 0.999);
    }
}

TEST_F(SignalChartsTest, LoadWithoutTimeRecordsLeavesTheBottomAxesAutomatic) {
    auto form = MakeForm();
    WriteFile(dataDir.path(), DayName(yesterday), "PDOP      : 3\r\nFix, Mode: 2D\r\n");
    Load(*form, yesterday);
    ASSERT_EQ(form->LoadCount(), 1);
    for (TChart* c : Charts(*form)) {
        EXPECT_TRUE(c->BottomAxis().Automatic());
        EXPECT_EQ(c->Series(0).PointCount(), 0);
    }
    EXPECT_EQ(RightItemTexts(form->ChartStrength()->Chart()),
              (std::vector<std::string>{"  No fix", "  2D", "  3D"}));
}

TEST_F(SignalChartsTest, RightAxisOfStrengthIsFixedToTheLeftRangeWithGreenFixLabels) {
    auto form = MakeForm();
    WriteDay(yesterday);
    Load(*form, yesterday);
    TChart& strength = form->ChartStrength()->Chart();
    EXPECT_FALSE(strength.RightAxis().Automatic());
    EXPECT_EQ(strength.RightAxis().Minimum(), 0);
    EXPECT_EQ(strength.RightAxis().Maximum(), 10);
    auto& items = strength.RightAxis().Items();
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Item(1).Value(), 0.8);
    for (int i = 0; i < items.Count(); ++i) EXPECT_EQ(items.Item(i).Font().Color(), chart::clGreen);
}

TEST_F(SignalChartsTest, ControlFormatNamesControlAndAnOrdinaryLoadRestoresCoarseAndFine) {
    auto form = MakeForm();
    TChart& mode = form->ChartMode()->Chart();
    WriteDay(yesterday, /*control=*/true);
    WriteDay(today.addDays(-2));
    Load(*form, yesterday);
    EXPECT_TRUE(form->ControlFormat());
    EXPECT_EQ(RightItemTexts(mode), (std::vector<std::string>{"  Inactive", "  Control"}));
    EXPECT_EQ(mode.RightAxis().Items().Item(1).Value(), 20);
    EXPECT_EQ(mode.Title().Text(), "Percent satellites with signal and lock mode (Inactive/control)");
    EXPECT_EQ(mode.RightAxis().Items().Item(0).Font().Color(), chart::RGBColor(0, 128, 192));

    Load(*form, today.addDays(-2));
    EXPECT_FALSE(form->ControlFormat());
    EXPECT_EQ(RightItemTexts(mode), (std::vector<std::string>{"  Inactive", "  Coarse", "  Fine"}));
    EXPECT_EQ(mode.Title().Text(), "Percent satellites with signal and lock mode (Inactive/coarse/fine)");
}

TEST_F(SignalChartsTest, PlotRectanglesLineUpAfterALoadAndAfterResizing) {
    auto form = MakeForm();
    WriteDay(yesterday);
    Load(*form, yesterday);
    for (QSize size : {QSize(772, 556), QSize(1000, 640), QSize(640, 480)}) {
        form->resize(size);
        QApplication::processEvents();
        SettlePasses(*form);
        const auto charts = Charts(*form);
        for (TChart* c : charts) {
            EXPECT_EQ(c->PlotRect().Left, charts[0]->PlotRect().Left) << size.width();
            EXPECT_LE(std::abs(c->PlotRect().Right - charts[0]->PlotRect().Right), 1) << size.width();
        }
    }
}

TEST_F(SignalChartsTest, PointsGoToTheirSeriesInAscendingTimeOrder) {
    auto form = MakeForm();
    WriteDay(yesterday);
    Load(*form, yesterday);
    TChart& strength = form->ChartStrength()->Chart();
    // 10:00:00 to 10:02:30: the minutes close at 10:01:01 and 10:02:01, the first behind its gap point.
    const double t1 = core::EncodeDateTime(2026, 3, 14, 10, 1, 1);
    const double t2 = core::EncodeDateTime(2026, 3, 14, 10, 2, 1);
    const auto& strengthSeries = strength.Series(0);
    ASSERT_EQ(strengthSeries.PointCount(), 3);
    EXPECT_EQ(strengthSeries.XValues().Value(0), t1);
    EXPECT_EQ(strengthSeries.YValues().Value(0), 0);
    EXPECT_EQ(strengthSeries.XValues().Value(2), t2);
    EXPECT_NEAR(strengthSeries.YValues().Value(2), 25.0 / 6, 1e-4);
    EXPECT_EQ(form->ChartPDOP()->Chart().Series(0).YValues().Value(0), 10);  // the gap point
    EXPECT_EQ(form->ChartMode()->Chart().Series(1).YValues().Value(2), 20);  // fine
}

}  // namespace
}  // namespace marlix::ui::test
