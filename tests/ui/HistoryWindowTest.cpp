// The history window: loading the days around the shown one, the metric charts and clicks on days.
#include <gtest/gtest.h>
#include <marlix/chart/qt/chart_panel.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "ui/HistoryWindow.h"

namespace marlix::ui {
namespace {

constexpr char kEveryRecordKind[] =
    "UTC Time  : 10:00:00 04/03/24\n"
    "PDOP      : 3\n"
    "Sat PRN   : 1,2,3,4,5,6\n"
    "Sat level : 5,5,2,0,7,9\n"
    "Fix, Mode 3D Fine\n"
    "UTC Time  : 10:01:00 04/03/24\n"
    "UTC Time  : 10:01:01 04/03/24\n"
    "PDOP      : 5\n"
    "Sat PRN   : 1,2,3,4,5,6,7,8\n"
    "Sat level : 1,4\n"
    "Sat level : 4,4,4\n"
    "Fix, Mode 2D Coarse\n"
    "UTC Time  : 10:02:00 04/03/24\n"
    "UTC Time  : 10:02:01 04/03/24\n"
    "Fix, Mode 3D Fine\n";

constexpr char kControlFormat[] =
    "UTC Time  : 00:00:00 06/03/24\n"
    "PDOP; sats: 2\n"
    "Fix, Mode 3D Control\n"
    "Fix, Mode 3D Control\n"
    "Fix, Mode 3D Coarse\n"
    "Fix, Mode 2D\n";

class History : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Write("2024-03-04_rx_data.txt", kEveryRecordKind);
        Write("2024-03-06_rx_data.txt", kControlFormat);
        Write("2024-03-09_rx_data.txt", kControlFormat);  // outside two days around the 5th
        std::filesystem::create_symlink(Path("gone.txt"), Path("2024-03-07_rx_data.txt"));
    }
    std::string Path(const std::string& name) const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    // The days with logs from two days before the 5th to two after, as the days module reads them.
    std::vector<THistoryDay> Load() const {
        const std::string folder = dir.path().toStdString();
        const core::DayTime march5 = core::EncodeDate(2024, 3, 5);
        const std::vector<core::DayTime> days = core::ListDays(folder, march5 - 2, march5 + 2).days;
        std::vector<THistoryDay> loaded;
        core::ReadDays(folder, days, {}, {}, [&](std::size_t i, core::DayOutcome&& day) {
            loaded.push_back(HistoryDayOf(days[i], std::move(day)));
        });
        return loaded;
    }

    QTemporaryDir dir;
};

TEST_F(History, LoadsTheDayFilesAroundTheShownDay) {
    const std::vector<THistoryDay> days = Load();
    ASSERT_EQ(days.size(), 3U);
    EXPECT_EQ(days[0].date, QDate(2024, 3, 4));
    EXPECT_EQ(days[1].date, QDate(2024, 3, 6));
    EXPECT_EQ(days[2].date, QDate(2024, 3, 7));
    ASSERT_TRUE(days[0].totals && days[1].totals);
    EXPECT_EQ(days[0].totals->fixCounts, (std::array<std::int64_t, 3>{0, 1, 2}));
    EXPECT_TRUE(days[1].totals->controlFormat);
    EXPECT_EQ(days[0].error, "");
    EXPECT_FALSE(days[2].totals);
    EXPECT_EQ(days[2].error.toStdString(),
              "cannot read " + Path("2024-03-07_rx_data.txt") + ": No such file or directory");
}

TEST_F(History, MetricsAreTheDayTableFigures) {
    const core::DayTotals totals = *Load()[0].totals;
    EXPECT_EQ(HistoryMetricValue(totals, THistoryMetric::Fix3DShare), 2.0 / static_cast<double>(0.03F));
    EXPECT_EQ(HistoryMetricValue(totals, THistoryMetric::FineOrControlShare),
              2.0 / static_cast<double>(0.03F));
    EXPECT_EQ(HistoryMetricValue(totals, THistoryMetric::AveragePdop), 4.0);
    EXPECT_EQ(HistoryMetricValue(totals, THistoryMetric::MeanStrength), totals.meanStrength);
    EXPECT_EQ(HistoryMetricValue(totals, THistoryMetric::NumGoodMean), 3.0);
    const core::DayTotals control = *Load()[1].totals;
    EXPECT_EQ(HistoryMetricValue(control, THistoryMetric::MeanStrength), std::nullopt);
    EXPECT_EQ(HistoryMetricValue(control, THistoryMetric::NumGoodMean), std::nullopt);
    EXPECT_EQ(HistoryMetricTitle(THistoryMetric::Fix3DShare), "3D fix %");
    EXPECT_EQ(HistoryMetricTitle(THistoryMetric::NumGoodMean), "Num good (mean)");
}

TEST_F(History, OneSeriesPerMetricOverTheReadableDays) {
    THistoryWindow window;
    window.SetDays(Load(), QDate(2024, 3, 5));
    const double march4 = core::EncodeDate(2024, 3, 4), march6 = core::EncodeDate(2024, 3, 6);
    const chart::TChartSeries& pdop = window.Panel(THistoryMetric::AveragePdop).Chart().Series(0);
    ASSERT_EQ(pdop.PointCount(), 2);
    EXPECT_EQ(pdop.XValues().Value(0), march4);
    EXPECT_EQ(pdop.YValues().Value(0), 4.0);
    EXPECT_EQ(pdop.XValues().Value(1), march6);
    EXPECT_EQ(pdop.YValues().Value(1), 2.0);
    // The control-format day has no level lines, so only the first day has a strength.
    EXPECT_EQ(window.Panel(THistoryMetric::MeanStrength).Chart().Series(0).PointCount(), 1);
    const chart::TChartAxis& bottom = window.Panel(THistoryMetric::Fix3DShare).Chart().BottomAxis();
    EXPECT_EQ(bottom.Minimum(), march4 - 0.5);
    EXPECT_EQ(bottom.Maximum(), core::EncodeDate(2024, 3, 7) + 0.5);
}

TEST_F(History, AFewDaysAreLabelledOncePerDay) {
    THistoryWindow window;
    window.resize(500, 700);
    window.SetDays(Load(), QDate(2024, 3, 5));
    window.show();
    chart::TChart& chart = window.Panel(THistoryMetric::Fix3DShare).Chart();
    chart.RedrawIfPending();
    std::vector<std::string> texts;
    for (const chart::TDrawnLabel& label : chart.BottomAxis().DrawnLabels()) texts.push_back(label.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"07-03", "06-03", "05-03", "04-03"}));
}

TEST_F(History, ClickingADayAsksForIt) {
    THistoryWindow window;
    window.resize(500, 700);
    window.SetDays(Load(), QDate(2024, 3, 5));
    window.show();
    QSignalSpy spy(&window, &THistoryWindow::DayClicked);
    chart::TChartPanel& panel = window.Panel(THistoryMetric::Fix3DShare);
    panel.Chart().RedrawIfPending();
    const chart::TChartAxis& bottom = panel.Chart().BottomAxis();
    const chart::TRect plot = panel.Chart().PlotRect();
    const int y = (plot.Top + plot.Bottom) / 2;
    QTest::mouseClick(&panel, Qt::LeftButton, {},
                      QPoint(bottom.ValueToPixel(core::EncodeDate(2024, 3, 6)), y));
    // The unreadable 7th is no day to show; the nearest readable one is.
    QTest::mouseClick(&panel, Qt::LeftButton, {},
                      QPoint(bottom.ValueToPixel(core::EncodeDate(2024, 3, 7)), y));
    QTest::mouseClick(&window.Panel(THistoryMetric::NumGoodMean), Qt::LeftButton, {},
                      QPoint(bottom.ValueToPixel(core::EncodeDate(2024, 3, 4)) + 3, y));
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(plot.Left - 1, y));  // off the plot
    QTest::mouseClick(&panel, Qt::RightButton, {},
                      QPoint(bottom.ValueToPixel(core::EncodeDate(2024, 3, 6)), y));
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy[0][0].toDate(), QDate(2024, 3, 6));
    EXPECT_EQ(spy[1][0].toDate(), QDate(2024, 3, 6));
    EXPECT_EQ(spy[2][0].toDate(), QDate(2024, 3, 4));
}

TEST_F(History, ArrowKeysSelectReadableDaysAndEnterAsksForTheSelectedOne) {
    THistoryWindow window;
    window.SetDays(Load(), QDate(2024, 3, 5));
    QSignalSpy spy(&window, &THistoryWindow::DayClicked);
    QTest::keyClick(&window, Qt::Key_Right);
    QTest::keyClick(&window, Qt::Key_Right);  // the unreadable 7th is skipped, and nothing follows
    EXPECT_EQ(window.SelectedDay(), QDate(2024, 3, 6));
    QTest::keyClick(&window, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Home);
    EXPECT_EQ(
        window.SelectedDayLabel()->text(),
        "2024-03-04: 3D fix 67 %, fine/control 67 %, average PDOP 4.00, mean strength 4.0, Num good 3.0");
    QTest::keyClick(&window, Qt::Key_Enter);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[0][0].toDate(), QDate(2024, 3, 6));
    EXPECT_EQ(spy[1][0].toDate(), QDate(2024, 3, 4));
}

}  // namespace
}  // namespace marlix::ui
