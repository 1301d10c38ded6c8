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

class QLabel;
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

// "2026-12-05: 3D fix 89 %, fine/control 92 %, average PDOP 3.09, mean strength 5.4, Num good 4.7", the
// figures of a day as the keyboard selection names them; the reason when the day could not be read.
QString HistoryDayText(const THistoryDay& day, const core::LocaleConventions& locale);

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
    // The first and last day of a reading in progress, so that the time axis does not move as the
    // days arrive; an invalid date clears it.
    void SetExpectedSpan(QDate first, QDate last);
    // How many of the days are read; the bar hides when all are.
    void SetProgress(int done, int total);
    bool Reading() const;
    const std::vector<THistoryDay>& Days() const { return days_; }
    QDate ShownDay() const { return shownDay_; }
    // The day the keyboard selected (Left, Right, Home, End), which Enter shows in the main window; it
    // starts at the shown day. Its figures are written under the charts.
    QDate SelectedDay() const { return selectedDay_; }
    QLabel* SelectedDayLabel() const { return selectedLabel_; }

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
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Replot();
    void Select(QDate day);

    QProgressBar* progress_ = nullptr;
    std::optional<std::pair<QDate, QDate>> expectedSpan_;
    std::array<chart::TChartPanel*, kHistoryMetricCount> panels_{};
    std::vector<THistoryDay> days_;
    QDate shownDay_;
    QDate selectedDay_;
    QLabel* selectedLabel_ = nullptr;
    core::LocaleConventions locale_;
};

}  // namespace marlix::ui
