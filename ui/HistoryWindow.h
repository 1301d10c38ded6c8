#pragma once

// "History": the day metrics of the days around the shown one as small line charts, one per
// metric; clicking a day asks for that day in the main window.

#include <QDate>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "marlix/core/analysis.h"
#include "marlix/core/days.h"

class QPainter;
class QProgressBar;

namespace marlix::chart {
class TChartPanel;
}

namespace marlix::ui {

struct THistoryDay {
    QDate date;
    std::optional<core::DayTotals> totals;  // nothing when the day file could not be read
    QString error;
};

enum class THistoryMetric { Fix3DShare, FineOrControlShare, AveragePdop, MeanStrength, NumGoodMean };
inline constexpr int kHistoryMetricCount = 5;

// "3D fix %", "Fine/control %", "Average PDOP", "Mean strength", "Num good (mean)".
QString HistoryMetricTitle(THistoryMetric metric);
// The metric of a day as the day-metrics table gives it; nothing when the day has none.
std::optional<double> HistoryMetricValue(const core::DayTotals& totals, THistoryMetric metric);

// History charts the days with logs from this many days before the shown one to as many after it.
inline constexpr int kHistorySpanDays = 15;
// A day as the days module read it, as History charts it.
THistoryDay HistoryDayOf(core::DayTime day, core::DayOutcome&& outcome);

class THistoryWindow : public QWidget {
    Q_OBJECT

  public:
    explicit THistoryWindow(QWidget* parent = nullptr);

    // The days to chart (in date order) and the day the main window shows, which is marked.
    void SetDays(std::vector<THistoryDay> days, QDate shownDay);
    // The decimal and time separators of the axis labels.
    void SetLocale(const core::LocaleConventions& locale);
    // A day read in the background joins the charts in its date order.
    void AddDay(THistoryDay day);
    void SetShownDay(QDate shownDay);
    // The station (the data folder's name) and today's date: the title names the station and the
    // span, and today's day, whose log is still growing, is marked as partial.
    void SetStation(const QString& station, QDate today);
    // The first and last day of a reading in progress, so that the time axis does not move as the
    // days arrive; an invalid date clears it.
    void SetExpectedSpan(QDate first, QDate last);
    // How many of the days are read; the bar hides when all are.
    void SetProgress(int done, int total);
    bool Reading() const;
    const std::vector<THistoryDay>& Days() const { return days_; }
    QDate ShownDay() const { return shownDay_; }

    chart::TChartPanel& Panel(THistoryMetric metric) { return *panels_[static_cast<std::size_t>(metric)]; }
    // The readable day nearest to a pixel column of a panel's plot, nothing off the plot.
    std::optional<QDate> DayAtPixel(THistoryMetric metric, int x);

  signals:
    void DayClicked(QDate day);
    // The window was closed or hidden: reading its days is no longer needed.
    void Hidden();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Replot();
    void PaintMarks(const chart::TChartPanel& panel, QPainter& painter) const;

    QProgressBar* progress_ = nullptr;
    std::optional<std::pair<QDate, QDate>> expectedSpan_;
    std::array<chart::TChartPanel*, kHistoryMetricCount> panels_{};
    std::vector<THistoryDay> days_;
    QDate shownDay_;
    QString station_;
    QDate today_;
};

}  // namespace marlix::ui
