// Renders the window's signal-strength chart with a made-up day to PNG files for a look by eye:
//   chart_sample OUT.png [OUT@2x.png]
#include <QApplication>
#include <cstdio>

#include "marlix/chart/qt/painter_surface.h"
#include "marlix/signal_charts/SignalCharts.h"
#include "sample_day.h"

using namespace marlix::chart;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: chart_sample OUT.png [OUT@2x.png]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TChart chart;
    marlix::ui::ConfigureChartStrength(chart);
    chart.EndConfiguring();
    const double day = EncodeDayTime(2026, 12, 6);
    sample::FillStrengthDay(chart, day);
    marlix::ui::SetDayRange(chart, day, day);
    marlix::ui::PutFixLabels(chart);
    marlix::ui::FixRightAxisToLeft(chart);

    bool ok = RenderChartImage(chart, 758, 146).save(QString::fromLocal8Bit(argv[1]));
    const TRect& r = chart.PlotRect();
    std::printf("PlotRect %d %d %d %d\n", r.Left, r.Top, r.Right, r.Bottom);
    if (argc > 2) ok = RenderChartImage(chart, 758, 146, 2.0).save(QString::fromLocal8Bit(argv[2])) && ok;
    return ok ? 0 : 1;
}
