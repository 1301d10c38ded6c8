// One drawing pass of a 758 x 146 chart with four series of 1,440 points, through the QPainter surface.
// Target: three such charts repaint in under 5 ms together.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "marlix/chart/qt/painter_surface.h"
#include "marlix/signal_charts/SignalCharts.h"
#include "sample_day.h"

namespace {

using namespace marlix;
using namespace marlix::chart;

// The window's signal-strength chart as a load leaves it, configured by the window's own code.
void FillChart(TChart& chart) {
    ui::ConfigureChartStrength(chart);
    chart.EndConfiguring();
    const double day = EncodeDayTime(2026, 12, 6);
    sample::FillStrengthDay(chart, day);
    ui::SetDayRange(chart, day, day);
    ui::PutFixLabels(chart);
    ui::FixRightAxisToLeft(chart);
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
