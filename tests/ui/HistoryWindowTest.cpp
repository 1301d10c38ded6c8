// The history window: loading the days around the shown one, the metric charts and clicks on days.
#include <gtest/gtest.h>
#include <marlix/chart/qt/chart_panel.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "marlix/core/days.h"
#include "ui/DayDate.h"
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
            THistoryDay historyDay{DateOf(days[i]), std::nullopt, QString::fromStdString(day.error)};
            if (day.analysis) historyDay.totals = day.analysis->totals;
            loaded.push_back(std::move(historyDay));
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

namespace marlix::ui {
namespace {

TEST(HistorySpan, HoldsItsDaysAroundTheShownOneButNoneAfterToday) {
    const QDate today(2024, 6, 1);
    EXPECT_EQ(HistorySpanDates(THistorySpan::Month, QDate(2024, 3, 5), today),
              (THistoryDates{QDate(2024, 2, 19), QDate(2024, 3, 20)}));
    EXPECT_EQ(HistorySpanDates(THistorySpan::Quarter, QDate(2024, 3, 5), today),
              (THistoryDates{QDate(2024, 1, 20), QDate(2024, 4, 19)}));
    EXPECT_EQ(HistorySpanDates(THistorySpan::Month, QDate(2024, 5, 31), today),
              (THistoryDates{QDate(2024, 5, 2), QDate(2024, 6, 1)}));
    EXPECT_EQ(HistorySpanDates(THistorySpan::Year, today, today),
              (THistoryDates{QDate(2023, 6, 3), QDate(2024, 6, 1)}));
    EXPECT_EQ(HistorySpanDates(THistorySpan::Everything, today, today), THistoryDates{});

    const std::vector<THistoryStation> stations{{"/logs/a/", "roof"}, {"/logs/b/", "b"}};
    EXPECT_EQ(HistoryTitle(THistorySpan::Year, {QDate(2023, 6, 3), QDate(2024, 6, 1)}, stations),
              "History - year, 2023-06-03 to 2024-06-01 - roof, b");
    EXPECT_EQ(HistoryTitle(THistorySpan::Everything, {}, {stations[1]}), "History - everything - b");
}

TEST(HistoryStationList, StationsKeepTheirPlaceAsTheMainFolderMoves) {
    THistoryStations stations;
    stations.SetMain("/logs/a", "roof");
    EXPECT_EQ(stations.Add("/logs/b"), "");
    EXPECT_EQ(stations.Add("/logs/./b/"), "");  // the same folder spelled otherwise
    EXPECT_EQ(stations.List(), (std::vector<THistoryStation>{{"/logs/a/", "roof"}, {"/logs/b/", "b"}}));

    stations.SetMain("/logs/b/");
    EXPECT_EQ(stations.Main(), 1);
    stations.SetMain("/logs/a/");  // its label stays
    EXPECT_EQ(stations.List()[0], (THistoryStation{"/logs/a/", "roof"}));
    // A folder that is no station takes the place of the one the main window left.
    stations.SetMain("/logs/c");
    EXPECT_EQ(stations.List(), (std::vector<THistoryStation>{{"/logs/c/", "c"}, {"/logs/b/", "b"}}));
    EXPECT_EQ(stations.Main(), 0);

    for (int i = 2; i < kMaxHistoryStations; ++i) EXPECT_EQ(stations.Add(QString("/logs/s%1").arg(i)), "");
    EXPECT_EQ(stations.Add("/logs/s8"), "History compares 8 folders at most; /logs/s8 is left out");
    EXPECT_EQ(stations.List().size(), 8u);
    stations.SetMain("/logs/b");
    stations.RemoveCompared();
    EXPECT_EQ(stations.List(), (std::vector<THistoryStation>{{"/logs/b/", "b"}}));
    EXPECT_EQ(stations.Main(), 0);
}

// Sixty days of one station, 2024-03-01 to 2024-04-29, with 3D fix 100 % every day.
class HistoryZoom : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<THistoryDay> days;
        core::DayTotals totals;
        totals.fixCounts = {0, 0, 10};
        for (int i = 0; i < 60; ++i) days.push_back({first.addDays(i), totals, {}});
        window.resize(600, 700);
        window.SetDays(std::move(days), first);
        window.show();
        panel.Chart().RedrawIfPending();
    }
    int X(double day) const { return panel.Chart().BottomAxis().ValueToPixel(day); }
    int Y() const { return (panel.Chart().PlotRect().Top + panel.Chart().PlotRect().Bottom) / 2; }
    double Width() const { return window.VisibleSpan().to - window.VisibleSpan().from; }

    const QDate first{2024, 3, 1};
    const double start = core::EncodeDate(2024, 3, 1);
    THistoryWindow window;
    chart::TChartPanel& panel = window.Panel(THistoryMetric::Fix3DShare);
};

TEST_F(HistoryZoom, WheelDragAndShiftDragMoveTheDayAxisWithinTheSpan) {
    EXPECT_EQ(window.VisibleSpan(), (TTimeSpan{start - 0.5, start + 59.5}));
    // A notch keeps four fifths of the days, around the day under the pointer.
    window.WheelZoom(THistoryMetric::Fix3DShare, X(start + 10), 1);
    EXPECT_NEAR(Width(), 0.8 * 60, 0.05);
    EXPECT_NEAR(window.VisibleSpan().from, start + 10 - 0.8 * 10.5, 0.1);

    // A drag zooms to the days it covers, on every chart.
    panel.Chart().RedrawIfPending();
    QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(X(start + 20), Y()));
    QTest::mouseMove(&panel, QPoint(X(start + 30), Y()));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(X(start + 30), Y()));
    EXPECT_NEAR(window.VisibleSpan().from, start + 20, 0.1);
    EXPECT_NEAR(window.VisibleSpan().to, start + 30, 0.1);
    const chart::TChartAxis& pdopAxis = window.Panel(THistoryMetric::AveragePdop).Chart().BottomAxis();
    EXPECT_EQ(pdopAxis.Minimum(), window.VisibleSpan().from);

    // Shift and a drag pan: the day grabbed stays under the pointer, and the days stay in the span.
    panel.Chart().RedrawIfPending();
    const double width = Width();
    QTest::mousePress(&panel, Qt::LeftButton, Qt::ShiftModifier, QPoint(X(start + 25), Y()));
    QTest::mouseMove(&panel, QPoint(X(start + 27), Y()));
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::ShiftModifier, QPoint(X(start + 27), Y()));
    EXPECT_NEAR(window.VisibleSpan().from, start + 18, 0.1);
    EXPECT_NEAR(Width(), width, 1e-9);
    window.ZoomTo(start - 30, start - 20);
    EXPECT_EQ(window.VisibleSpan(), (TTimeSpan{start - 0.5, start + 9.5}));

    // A click without a drag opens its day and leaves the days shown.
    QSignalSpy clicked(&window, &THistoryWindow::DayClicked);
    panel.Chart().RedrawIfPending();
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(X(start + 4), Y()));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked[0][0].toDate(), first.addDays(4));
    EXPECT_EQ(clicked[0][1].toInt(), 0);
    EXPECT_EQ(window.VisibleSpan(), (TTimeSpan{start - 0.5, start + 9.5}));

    window.ResetZoom();
    EXPECT_FALSE(window.Zoomed());
    EXPECT_EQ(window.VisibleSpan(), (TTimeSpan{start - 0.5, start + 59.5}));
}

}  // namespace
}  // namespace marlix::ui
