// Renders a signal-strength-like chart with a synthetic day to PNG files for a look by eye:
//   chart_sample OUT.png [OUT@2x.png]
#include <QApplication>
#include <cmath>
#include <cstdio>

#include "marlix/chart/qt/painter_surface.h"

using namespace marlix::chart;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: chart_sample OUT.png [OUT@2x.png]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TChart chart;
    chart.SetColor(clWhite);
    chart.SetView3D(false);
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    chart.Title().SetText("Average signal strength and number of good satellites (signal >= 4)");
    chart.BottomAxis().SetDateTimeFormat("hh:mm");
    chart.BottomAxis().Axis().SetVisible(false);
    TChartAxis& left = chart.LeftAxis();
    left.Axis().SetVisible(false);
    left.SetLabelsFontPixelSize(9);
    left.MinorTicks().SetVisible(false);
    left.SetAutomatic(false);
    left.SetAutomaticMinimum(false);
    left.SetAutomaticMaximum(false);
    left.SetMaximum(10);
    TChartAxis& right = chart.RightAxis();
    right.Axis().SetVisible(false);
    right.Grid().SetVisible(false);
    right.MinorTicks().SetVisible(false);
    struct Def {
        const char* name;
        const char* title;
        TColor color;
        TVertAxis axis;
    };
    for (const Def& d : {Def{"Series3", "Strength", clGray, aLeftAxis},
                         Def{"Series4", "Num good", RGBColor(0, 64, 0), aLeftAxis},
                         Def{"Series1", "2D/3D fix", clGreen, aRightAxis},
                         Def{"Series5", "Trend", RGBColor(0, 128, 192), aLeftAxis}}) {
        TFastLineSeries& s = chart.AddFastLineSeries(d.name);
        s.SetTitle(d.title);
        s.SetSeriesColor(d.color);
        s.SetVertAxis(d.axis);
        s.XValues().SetDateTime(true);
    }
    chart.EndConfiguring();

    const double day = EncodeDayTime(2026, 12, 6);
    for (int m = 0; m < 1440; ++m) {
        const double x = day + m / 1440.0;
        const double strength = 6 + 1.5 * std::sin(m / 90.0) + 0.4 * std::sin(m * 0.7);
        chart.Series(0).AddPoint(x, strength);
        chart.Series(1).AddPoint(x, std::round(strength + 1));
        chart.Series(2).AddPoint(x, m % 300 < 20 ? 0.8 : 1.6);
        chart.Series(3).AddPoint(x, 6 + 1.5 * std::sin(m / 90.0));
    }
    chart.BottomAxis().SetAutomatic(false);
    chart.BottomAxis().SetMinimum(0);
    chart.BottomAxis().SetMaximum(day + 0.999);
    chart.BottomAxis().SetMinimum(day);
    right.Items().ClearItems();
    for (auto [value, text] : {std::pair{0.0, "  No fix"}, {0.8, "  2D"}, {1.6, "  3D"}})
        right.Items().AddItem(value, text).Font().SetColor(chart.Series(2).SeriesColor());
    right.SetAutomatic(false);
    right.SetMinimum(0);
    right.SetMaximum(10);

    bool ok = RenderChartImage(chart, 758, 146).save(QString::fromLocal8Bit(argv[1]));
    const TRect& r = chart.PlotRect();
    std::printf("PlotRect %d %d %d %d\n", r.Left, r.Top, r.Right, r.Bottom);
    if (argc > 2) ok = RenderChartImage(chart, 758, 146, 2.0).save(QString::fromLocal8Bit(argv[2])) && ok;
    return ok ? 0 : 1;
}
