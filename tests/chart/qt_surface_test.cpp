// The QPainter surface and the panel widget, on real pixels (offscreen platform).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontInfo>
#include <QImage>

#include "marlix/chart/qt/chart_panel.h"
#include "marlix/chart/qt/painter_surface.h"

namespace marlix::chart {
namespace {

void FixAxis(TChartAxis& axis, double lo, double hi) {
    axis.SetAutomatic(false);
    axis.SetAutomaticMinimum(false);
    axis.SetAutomaticMaximum(false);
    axis.SetMinimum(lo);
    axis.SetMaximum(hi);
}

// A white 202 x 100 chart whose plot rectangle is (1, 1, 201, 99): x = 1 + 2 v, y = 99 - v.
void Configure(TChart& chart) {
    chart.SetColor(clWhite);
    chart.SetMarginUnits(muPixels);
    for (int i = 0; i < 4; ++i) chart.SetMargin(i, 0);
    chart.SetAxisVisible(false);
    chart.Legend().SetVisible(false);
    FixAxis(chart.BottomAxis(), 0, 100);
    FixAxis(chart.LeftAxis(), 0, 98);
    TFastLineSeries& s = chart.AddFastLineSeries("s");
    s.SetSeriesColor(clRed);
    chart.EndConfiguring();
    s.AddPoint(10, 30);
    s.AddPoint(20, 30);
    s.AddPoint(20, 40);
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

TEST(ChartPainterSurfacePixels, FrameAndLineLandOnTheirPixels) {
    TChart chart;
    Configure(chart);
    const QImage image = RenderChartImage(chart, 202, 100);
    ASSERT_EQ(chart.PlotRect(), (TRect{1, 1, 201, 99}));
    // The frame covers columns 1 and 201 and rows 1 and 99.
    EXPECT_EQ(Pixel(image, 1, 50), 0x000000u);
    EXPECT_EQ(Pixel(image, 201, 50), 0x000000u);
    EXPECT_EQ(Pixel(image, 100, 1), 0x000000u);
    EXPECT_EQ(Pixel(image, 100, 99), 0x000000u);
    EXPECT_EQ(Pixel(image, 100, 50), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 2, 2), 0xFFFFFFu);
    // The line from (21, 69) to (41, 69), then up to (41, 59), in red; nothing beside it.
    EXPECT_EQ(Pixel(image, 21, 69), 0xFF0000u);
    EXPECT_EQ(Pixel(image, 30, 69), 0xFF0000u);
    EXPECT_EQ(Pixel(image, 41, 65), 0xFF0000u);
    EXPECT_EQ(Pixel(image, 30, 68), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 30, 70), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 20, 69), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 41, 58), 0xFFFFFFu);  // the end point is left out
}

TEST(ChartPainterSurfacePixels, DottedGridAlternatesPixels) {
    QImage image(40, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    {
        QPainterChartSurface surface(painter, Qt::white, Qt::gray);
        surface.SetPen(TPen{clGray, 1, psDot});
        surface.MoveTo(2, 5);
        surface.LineTo(30, 5);
    }
    painter.end();
    for (int x = 2; x < 30; ++x) EXPECT_EQ(Pixel(image, x, 5), (x - 2) % 2 == 0 ? 0x808080u : 0xFFFFFFu) << x;
    EXPECT_EQ(Pixel(image, 30, 5), 0xFFFFFFu);
}

TEST(ChartPainterSurfacePixels, BevelAndFill) {
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    {
        QPainterChartSurface surface(painter, QColor(0xFFFFFF), QColor(0x808080));
        surface.FillRect(TRect{0, 0, 20, 10}, RGBColor(0, 0, 255));
        surface.RaisedBevel(TRect{0, 0, 20, 10});
    }
    painter.end();
    EXPECT_EQ(Pixel(image, 5, 0), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 0, 5), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 5, 9), 0x808080u);
    EXPECT_EQ(Pixel(image, 19, 5), 0x808080u);
    EXPECT_EQ(Pixel(image, 5, 5), 0x0000FFu);
}

TEST(ChartPainterSurfaceText, ArialResolvesAndMeasures) {
    const QFont font = ToQFont(TFont{});
    EXPECT_EQ(QFontInfo(font).family(), "Liberation Sans");
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    QPainterChartSurface surface(painter);
    const int h = surface.TextHeight(TFont{});
    EXPECT_EQ(h, QFontMetrics(font, &image).height());
    EXPECT_GT(h, 8);
    EXPECT_EQ(surface.TextWidth(TFont{}, "WW"), QFontMetrics(font, &image).horizontalAdvance("WW"));
    TFont nine;
    nine.PixelSize = 9;
    EXPECT_LT(surface.TextHeight(nine), h);
}

TEST(ChartPainterSurfaceText, TopAlignedTextStartsAtItsAnchor) {
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    int width = 0;
    {
        QPainterChartSurface surface(painter);
        surface.TextOut(60, 10, "WWW", TFont{}, htaRight, vtaTop);
        width = surface.TextWidth(TFont{}, "WWW");
    }
    painter.end();
    int minX = 1000, maxX = -1, minY = 1000;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (Pixel(image, x, y) != 0xFFFFFFu) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
            }
    // The ink ends at the anchor and starts one advance before it (a glyph may overhang by a pixel).
    EXPECT_LE(maxX, 60);
    EXPECT_GE(minX, 60 - width - 1);
    EXPECT_LE(minX, 60 - width + 1);
    EXPECT_GE(minY, 10);
}

// The panel: owed passes only, a kept picture otherwise.
TEST(ChartPanelRedraw, PaintWithoutOwedPassShowsTheKeptPicture) {
    TChartPanel panel;
    panel.resize(202, 100);
    Configure(panel.Chart());
    panel.show();
    QCoreApplication::processEvents();
    TChart& chart = panel.Chart();
    const long passes = chart.PassCount();
    EXPECT_GE(passes, 1);
    EXPECT_FALSE(chart.RedrawPending());
    EXPECT_EQ(chart.PlotRect(), (TRect{1, 1, 201, 99}));
    EXPECT_EQ(panel.Picture().size(), QSize(202, 100) * panel.devicePixelRatio());

    // Nothing owed: neither RedrawIfPending nor a repaint runs a pass.
    chart.RedrawIfPending();
    const QImage shown = panel.grab().toImage();
    EXPECT_EQ(chart.PassCount(), passes);
    EXPECT_EQ(Pixel(shown, 30, 69), 0xFF0000u);

    // An owed pass runs at once, before RedrawIfPending returns.
    chart.SetMarginLeft(10);
    EXPECT_TRUE(chart.RedrawPending());
    chart.RedrawIfPending();
    EXPECT_EQ(chart.PassCount(), passes + 1);
    EXPECT_EQ(chart.PlotRect().Left, 11);

    // A resize owes a pass, which the next repaint performs.
    panel.resize(302, 100);
    QCoreApplication::processEvents();
    panel.grab();
    EXPECT_EQ(chart.PassCount(), passes + 2);
    EXPECT_EQ(chart.PlotRect(), (TRect{11, 1, 301, 99}));
}

TEST(ChartPanelRedraw, HighDpiPictureKeepsLogicalLayout) {
    TChart chart;
    Configure(chart);
    const QImage image = RenderChartImage(chart, 202, 100, 2.0);
    EXPECT_EQ(image.size(), QSize(404, 200));
    EXPECT_EQ(chart.PlotRect(), (TRect{1, 1, 201, 99}));
    EXPECT_EQ(Pixel(image, 60, 138), 0xFF0000u);  // logical (30, 69)
    EXPECT_EQ(Pixel(image, 2, 100), 0x000000u);   // logical frame column 1
}

}  // namespace
}  // namespace marlix::chart
