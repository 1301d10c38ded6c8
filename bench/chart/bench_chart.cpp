// One drawing pass of a 758 x 146 chart with four series of 1,440 points, through the QPainter surface.
// Target: three such charts repaint in under 5 ms together.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "marlix/chart/qt/painter_surface.h"

namespace {

using namespace marlix::chart;

void FillChart(TChart& chart) {
    chart.SetColor(clWhite);
    chart.SetView3D(false);
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    chart.Title().SetText("Average signal strength and number of good satellites (signal >= 4)");
    chart.BottomAxis().SetDateTimeFormat("hh:mm");
    chart.BottomAxis().Axis().SetVisible(false);
    chart.LeftAxis().Axis().SetVisible(false);
    chart.LeftAxis().SetLabelsFontPixelSize(9);
    chart.LeftAxis().MinorTicks().SetVisible(false);
    chart.RightAxis().Axis().SetVisible(false);
    chart.RightAxis().Grid().SetVisible(false);
    chart.RightAxis().MinorTicks().SetVisible(false);
    const char* titles[] = {"Strength", "Num good", "2D/3D fix", "Trend"};
    for (int i = 0; i < 4; ++i) {
        TFastLineSeries& s = chart.AddFastLineSeries(titles[i]);
        s.SetTitle(titles[i]);
        s.XValues().SetDateTime(true);
        if (i == 2) s.SetVertAxis(aRightAxis);
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
    chart.LeftAxis().SetAutomatic(false);
    chart.LeftAxis().SetMinimum(0);
    chart.LeftAxis().SetMaximum(10);
    chart.RightAxis().Items().ClearItems();
    chart.RightAxis().Items().AddItem(0, "  No fix");
    chart.RightAxis().Items().AddItem(0.8, "  2D");
    chart.RightAxis().Items().AddItem(1.6, "  3D");
    chart.SetBounds(758, 146);
}

void PaintPasses(benchmark::State& state, int charts, qreal dpr) {
    TChart chart;
    FillChart(chart);
    QImage image(qRound(758 * dpr), qRound(146 * dpr), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    for (auto _ : state) {
        for (int i = 0; i < charts; ++i) {
            QPainter painter(&image);
            QPainterChartSurface surface(painter);
            chart.PaintChart(surface);
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_OneChartPass(benchmark::State& state) {
    PaintPasses(state, 1, 1.0);
}
void BM_ThreeChartPasses(benchmark::State& state) {
    PaintPasses(state, 3, 1.0);
}
void BM_ThreeChartPassesHighDpi(benchmark::State& state) {
    PaintPasses(state, 3, 2.0);
}

BENCHMARK(BM_OneChartPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ThreeChartPasses)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ThreeChartPassesHighDpi)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
