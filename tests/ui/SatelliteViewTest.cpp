// The per-satellite heat strip: cells, blanks, legend and hover texts at known pixels.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>

#include "ui/SatelliteView.h"

namespace marlix::ui {
namespace {

constexpr double kDay = 45356;  // 2024-03-05

double At(int hour, int minute) {
    return kDay + (hour * 60 + minute) / 1440.0;
}

// Satellites 3 and 12; 3 has level 2.4 at 10:00, 12 has 8.6 at 10:01; ten minutes on 600 pixels.
class SatelliteStrip : public ::testing::Test {
  protected:
    SatelliteStrip() {
        core::SatelliteDay day;
        day.satellites = {3, 12};
        day.levels = {{At(10, 0), 3, 2.4F}, {At(10, 1), 12, 8.6F}, {At(10, 20), 3, 9.0F}};
        view.SetDay(std::move(day));
        view.resize(800, 300);
        view.SetPlotEdges(100, 700);
        view.SetTimeRange(At(10, 0), At(10, 10));
    }
    QImage Picture() { return view.grab().toImage(); }

    TSatelliteView view;
};

TEST_F(SatelliteStrip, RowsAndColumnsFollowThePlotEdgesAndTheTimeRange) {
    EXPECT_EQ(view.StripRect(), QRect(100, 6, 600, 32));
    EXPECT_EQ(view.RowHeight(), 16);
    EXPECT_EQ(view.TimeToPixel(At(10, 1)), 160);
    EXPECT_EQ(view.MinuteAt(159), At(10, 0));
    EXPECT_EQ(view.MinuteAt(160), At(10, 1));
    EXPECT_EQ(view.MinuteAt(699), At(10, 9));
    EXPECT_EQ(view.MinuteAt(700), std::nullopt);
    EXPECT_EQ(view.MinuteAt(99), std::nullopt);
}

TEST_F(SatelliteStrip, CellsTakeTheColourOfTheirRoundedLevelAndAbsentOnesStayBlank) {
    const QImage image = Picture();
    const QColor white(Qt::white);
    EXPECT_EQ(image.pixelColor(100, 6), TSatelliteView::LevelColour(2));
    EXPECT_EQ(image.pixelColor(159, 21), TSatelliteView::LevelColour(2));
    EXPECT_EQ(image.pixelColor(160, 21), white);  // 3 is not listed at 10:01
    EXPECT_EQ(image.pixelColor(160, 22), TSatelliteView::LevelColour(9));
    EXPECT_EQ(image.pixelColor(219, 37), TSatelliteView::LevelColour(9));
    EXPECT_EQ(image.pixelColor(220, 37), white);
    EXPECT_EQ(image.pixelColor(130, 30), white);  // 12 is not listed at 10:00
    EXPECT_EQ(image.pixelColor(650, 14), white);  // 10:20 lies outside the range
}

TEST_F(SatelliteStrip, LegendShowsTheTenLevels) {
    const QImage image = Picture();
    // Boxes of 12 pixels, 30 apart, from 40 pixels right of the strip's left edge, mid-legend.
    for (int level = 0; level <= 9; ++level) {
        EXPECT_EQ(image.pixelColor(140 + 30 * level + 5, 288), TSatelliteView::LevelColour(level)) << level;
    }
}

TEST_F(SatelliteStrip, HoverNamesSatelliteTimeAndLevel) {
    EXPECT_EQ(view.HoverText(QPoint(130, 14)), "Satellite 3, 10:00 UTC, level 2.4");
    EXPECT_EQ(view.HoverText(QPoint(190, 30)), "Satellite 12, 10:01 UTC, level 8.6");
    EXPECT_EQ(view.HoverText(QPoint(190, 14)), "Satellite 3, 10:01 UTC, not listed");
    EXPECT_EQ(view.HoverText(QPoint(99, 14)), "");
    EXPECT_EQ(view.HoverText(QPoint(130, 38)), "");  // below the last row
    EXPECT_EQ(view.HoverText(QPoint(130, 5)), "");

    QHelpEvent help(QEvent::ToolTip, QPoint(130, 14), view.mapToGlobal(QPoint(130, 14)));
    view.show();
    QCoreApplication::sendEvent(&view, &help);
    EXPECT_EQ(QToolTip::text(), "Satellite 3, 10:00 UTC, level 2.4");
    QToolTip::hideText();
}

TEST(SatelliteLevelColours, RoundToWholeLevelsFromRedToGreen) {
    EXPECT_EQ(TSatelliteView::LevelStep(4.49), 4);
    EXPECT_EQ(TSatelliteView::LevelStep(4.5), 5);
    EXPECT_EQ(TSatelliteView::LevelStep(-1), 0);
    EXPECT_EQ(TSatelliteView::LevelStep(12), 9);
    EXPECT_EQ(TSatelliteView::LevelColour(0).hue(), 0);
    EXPECT_EQ(TSatelliteView::LevelColour(9).hue(), 120);
    for (int level = 1; level <= 9; ++level) {
        EXPECT_GT(TSatelliteView::LevelColour(level).hue(), TSatelliteView::LevelColour(level - 1).hue())
            << level;
    }
}

TEST(SatelliteStripLayout, WithoutPlotEdgesLeavesRoomForTheNumbers) {
    TSatelliteView view;
    core::SatelliteDay day;
    day.satellites = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    view.SetDay(day);
    view.resize(500, 200);
    // 200 - 22 (legend) - 16 (time labels) - 6 (top) leaves 156 pixels for 20 rows.
    EXPECT_EQ(view.StripRect(), QRect(40, 6, 450, 156));
    EXPECT_EQ(view.RowHeight(), 7);
}

}  // namespace
}  // namespace marlix::ui
