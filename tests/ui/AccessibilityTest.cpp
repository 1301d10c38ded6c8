// The window for keyboard and screen-reader users: the chart descriptions, the keyboard cursor and
// the focus frame.
#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/analysis.h>
#include <marlix/core/daytime.h>

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include "FormFixture.h"
#include "marlix/signal_charts/ChartDescriptions.h"
#include "ui/ChartInteraction.h"

namespace marlix::ui::test {
namespace {

std::string Data(const char* name) {
    return std::string(TEST_DATA_DIR) + "/" + name;
}

core::DayAnalysis Analyse(const std::string& path) {
    core::LoadResult result = core::AnalyseFiles({path}, "", {});
    if (!result.analysis) throw std::runtime_error("cannot read " + path);
    return std::move(*result.analysis);
}

TChartDescriptions Describe(const core::DayAnalysis& day, TTimeSpan shown, bool zoomed,
                            const core::LocaleConventions& locale = {}) {
    return DescribeCharts({day.minutes, day.totals, shown, zoomed}, locale);
}

double At(int year, int month, int day, int hour, int minute) {
    return core::EncodeDateTime(year, month, day, hour, minute, 0);
}

TEST(ChartDescriptionTest, GapDayNamesItsGapWholeAndZoomed) {
    const core::DayAnalysis day = Analyse(Data("pause_9_minutes.txt"));
    const double midnight = At(2024, 3, 5, 0, 0);
    const TChartDescriptions whole = Describe(day, {midnight, midnight + 1}, false);
    EXPECT_EQ(whole.strength,
              "2024-Mar-05, whole day: strength 3.0, mean 3.0; Num good 3.0, mean 3.0; "
              "3D fix 100 %, 2D 0 %, none 0 %; 1 logging gap, 10:03\u201310:10");
    EXPECT_EQ(whole.pdop,
              "2024-Mar-05, whole day: lowest PDOP per minute 2, average PDOP 2.00; "
              "1 logging gap, 10:03\u201310:10");
    EXPECT_EQ(whole.mode,
              "2024-Mar-05, whole day: signal 75 %, mean 75 %; lock mode fine 100 %, "
              "coarse 0 %, inactive 0 %; 1 logging gap, 10:03\u201310:10");

    // A span that starts inside the gap still names it; one wholly inside it has no records.
    const TChartDescriptions zoomed = Describe(day, {At(2024, 3, 5, 10, 5), At(2024, 3, 5, 10, 20)}, true);
    EXPECT_EQ(zoomed.pdop,
              "2024-Mar-05 10:05\u201310:20 UTC: lowest PDOP per minute 2, average PDOP 2.00; "
              "1 logging gap, 10:03\u201310:10");
    EXPECT_EQ(Describe(day, {At(2024, 3, 5, 10, 4), At(2024, 3, 5, 10, 9)}, true).strength,
              "2024-Mar-05 10:04\u201310:09 UTC: no records");
}

TEST(ChartDescriptionTest, ControlFormatDayUsesItsModeWordsAndTheLocaleSeparators) {
    QTemporaryDir dir;
    const QString path =
        WriteFile(dir.path(), "2026-03-14_rx_data.txt",
                  RecordBlocks(QDateTime(QDate(2026, 3, 14), QTime(23, 58, 0), Qt::UTC),
                               QDateTime(QDate(2026, 3, 15), QTime(0, 2, 30), Qt::UTC), true));
    const core::DayAnalysis day = Analyse(path.toStdString());
    core::LocaleConventions locale;
    locale.decimalSeparator = ",";
    locale.timeSeparator = ".";
    locale.shortMonthNames[2] = "mars";
    const TChartDescriptions whole =
        Describe(day, {At(2026, 3, 14, 0, 0), At(2026, 3, 16, 0, 0)}, false, locale);
    EXPECT_EQ(whole.strength,
              "2026-mars-14 to 2026-mars-15, all days: strength 4,2, mean 4,2; Num good 4,0, "
              "mean 4,0; 3D fix 100 %, 2D 0 %, none 0 %; no logging gaps");
    EXPECT_EQ(whole.mode,
              "2026-mars-14 to 2026-mars-15, all days: signal 83 %, mean 83 %; lock mode control "
              "100 %, inactive 0 %; no logging gaps");
    const TChartDescriptions zoomed =
        Describe(day, {At(2026, 3, 14, 23, 59), At(2026, 3, 15, 0, 1)}, true, locale);
    EXPECT_EQ(zoomed.pdop,
              "2026-mars-14 23.59 to 2026-mars-15 00.01 UTC: lowest PDOP per minute 2, "
              "average PDOP 2,00; no logging gaps");
}

class ChartKeyboardTest : public FormFixture {
  protected:
    QString ReadoutHead(TFormMain& form) { return form.Interaction().Readout()->text().section('\n', 0, 1); }
};

TEST_F(ChartKeyboardTest, ArrowsStepMinutesAcrossAGapAndMidnightHomeAndEndGoToTheEnds) {
    // Two days read as one log: a gap of twelve minutes before midnight, then an hour of records after it.
    const QDate first(2026, 3, 13), second(2026, 3, 14);
    const QString early = WriteFile(dataDir.path(), DayName(first),
                                    RecordBlocks(QDateTime(first, QTime(23, 30, 0), Qt::UTC),
                                                 QDateTime(first, QTime(23, 40, 30), Qt::UTC)) +
                                        RecordBlocks(QDateTime(first, QTime(23, 52, 0), Qt::UTC),
                                                     QDateTime(first, QTime(23, 59, 59), Qt::UTC)));
    const QString late = WriteFile(dataDir.path(), DayName(second),
                                   RecordBlocks(QDateTime(second, QTime(0, 0, 0), Qt::UTC),
                                                QDateTime(second, QTime(1, 5, 30), Qt::UTC)));
    auto form = MakeForm();
    form->DropFileTarget1Drop({early, late});
    form->WaitForLoad();
    chart::TChartPanel& panel = *form->ChartPDOP();
    panel.Chart().RedrawIfPending();

    // A view of two days names the date of the cursor.
    QTest::keyClick(&panel, Qt::Key_Home);
    EXPECT_EQ(ReadoutHead(*form), "2026-03-13 23:31:01 UTC\nMinute 23:30");
    EXPECT_EQ(panel.AccessibleValue(), form->Interaction().Readout()->text());
    for (int i = 0; i < 9; ++i) QTest::keyClick(&panel, Qt::Key_Right);
    EXPECT_EQ(ReadoutHead(*form), "2026-03-13 23:40:01 UTC\nMinute 23:39");
    QTest::keyClick(&panel, Qt::Key_Right);
    EXPECT_EQ(ReadoutHead(*form), "2026-03-13 23:41:01 UTC\nno records 23:41\u201323:51");
    EXPECT_EQ(panel.AccessibleValue(), "2026-03-13 23:41:01 UTC\nno records 23:41\u201323:51");
    QTest::keyClick(&panel, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&panel, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(ReadoutHead(*form), "2026-03-14 00:01:01 UTC\nMinute 00:00");
    EXPECT_EQ(core::DecodeDate(*form->Interaction().CursorTime()).day, 14);
    QTest::keyClick(&panel, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(ReadoutHead(*form), "2026-03-13 23:51:01 UTC\nno records 23:41\u201323:51");

    QTest::keyClick(&panel, Qt::Key_End);
    EXPECT_EQ(ReadoutHead(*form), "2026-03-14 01:05:01 UTC\nMinute 01:04");
    QTest::keyClick(&panel, Qt::Key_Right);  // no further than the last record
    EXPECT_EQ(ReadoutHead(*form), "2026-03-14 01:05:01 UTC\nMinute 01:04");

    // + zooms around the cursor, which stays in view; Ctrl+Left pans back and the cursor keeps its
    // place on the screen.
    QTest::keyClick(&panel, Qt::Key_Home);
    for (int i = 0; i < 20; ++i) QTest::keyClick(&panel, Qt::Key_Plus);
    ASSERT_TRUE(form->Charts().Zoomed());
    const TTimeSpan zoomed = form->Charts().VisibleSpan();
    EXPECT_LE(zoomed.from, *form->Interaction().CursorTime());
    EXPECT_GE(zoomed.to, *form->Interaction().CursorTime());
    QTest::keyClick(&panel, Qt::Key_End);
    const TTimeSpan followed = form->Charts().VisibleSpan();
    EXPECT_DOUBLE_EQ(followed.to, *form->Interaction().CursorTime());
    QTest::keyClick(&panel, Qt::Key_Left, Qt::ControlModifier);
    const TTimeSpan panned = form->Charts().VisibleSpan();
    EXPECT_LT(panned.from, followed.from);
    EXPECT_DOUBLE_EQ(*form->Interaction().CursorTime() - panned.from, followed.to - followed.from);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ChartKeyboardTest, FocusFrameLiesInsideTheMarginAndTheChartsDescribeTheShownDay) {
    WriteDay(yesterday);
    auto form = MakeForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    chart::TChartPanel& panel = *form->ChartStrength();
    EXPECT_TRUE(panel.accessibleDescription().startsWith("2026-Mar-14, whole day: strength 4.2, mean 4.2;"))
        << panel.accessibleDescription().toStdString();
    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(&panel);
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), "Signal strength");

    const QImage unfocused = panel.grab().toImage();
    form->activateWindow();
    panel.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.hasFocus(); }));
    const QImage focused = panel.grab().toImage();
    ASSERT_EQ(focused.size(), unfocused.size());
    // Only the ring two pixels in from the edge may differ; the cursor line the focus shows is
    // painted in the plot rectangle, so compare outside it.
    const chart::TRect& plot = panel.Chart().PlotRect();
    int changedOnRing = 0;
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (x >= plot.Left && x < plot.Right && y >= plot.Top && y < plot.Bottom) continue;
            if (focused.pixel(x, y) == unfocused.pixel(x, y)) continue;
            const bool ring = ((x == 2 || x == focused.width() - 3) && y >= 2 && y <= focused.height() - 3) ||
                              ((y == 2 || y == focused.height() - 3) && x >= 2 && x <= focused.width() - 3);
            ASSERT_TRUE(ring) << "pixel " << x << "," << y << " changed";
            ++changedOnRing;
        }
    }
    EXPECT_GT(changedOnRing, 100);
    EXPECT_EQ(chart->text(QAccessible::Value), form->Interaction().Readout()->text());
}

}  // namespace
}  // namespace marlix::ui::test
