#pragma once

// "History": the day metrics of one or more stations over a span of days as small line charts, one
// per metric, on one day axis; clicking a day asks for that day of the station clicked in the main
// window.

#include <QDate>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "HistoryStations.h"
#include "marlix/core/analysis.h"
#include "marlix/signal_charts/SignalCharts.h"

class QKeyEvent;
class QLabel;
class QMenu;
class QMouseEvent;
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

// "2026-12-05: 3D fix 89 %, fine/control 92 %, average PDOP 3.09, mean strength 5.4, Num good 4.7", the
// figures of a day as the keyboard selection names them; the reason when the day could not be read.
QString HistoryDayText(const THistoryDay& day, const core::LocaleConventions& locale);

// How many days History reads around the shown one.
enum class THistorySpan { Month, Quarter, Year, Everything };
inline constexpr int kHistorySpanCount = 4;
// "Month", "Quarter", "Year", "Everything".
QString HistorySpanName(THistorySpan span);

// The first and last day of a span; invalid dates for no bound.
struct THistoryDates {
    QDate first, last;
    friend bool operator==(const THistoryDates&, const THistoryDates&) = default;
};
// The span's days: 31, 91 or 365 of them with the shown day in the middle, moved back so that none
// lies after today; no bounds for everything.
THistoryDates HistorySpanDates(THistorySpan span, QDate shown, QDate today);

// "History - year, 2025-03-16 to 2026-03-15 - alpha, beta": the span, its days and the stations.
QString HistoryTitle(THistorySpan span, THistoryDates dates, const std::vector<THistoryStation>& stations);

// The station a click on a chart meant, and its day.
struct THistoryPick {
    int station = 0;
    QDate day;
    friend bool operator==(const THistoryPick&, const THistoryPick&) = default;
};

class THistoryWindow : public QWidget {
    Q_OBJECT

  public:
    explicit THistoryWindow(QWidget* parent = nullptr);

    // What is charted from now on; the days read so far are dropped and the zoom is undone. The
    // day of `today` is drawn as a partial day.
    void SetStations(std::vector<THistoryStation> stations, int mainStation, THistorySpan span,
                     THistoryDates dates, QDate today);
    // The station the main window shows (an index into the stations).
    void SetMainStation(int station);
    // The days of the main station (in date order) and the day the main window shows, which is marked.
    void SetDays(std::vector<THistoryDay> days, QDate shownDay);
    // The decimal and time separators of the axis labels.
    void SetLocale(const core::LocaleConventions& locale);
    // Days of a station read in the background join the charts in their date order.
    void AddDays(int station, std::vector<THistoryDay> days);
    void SetShownDay(QDate shownDay);
    // The first and last day of a reading in progress, so that the day axis does not move as the
    // days arrive; an invalid date clears it.
    void SetExpectedSpan(QDate first, QDate last);
    // How many of the days are read; the bar says how many are still to read and hides when all are.
    void SetProgress(int done, int total);
    // Lines above the charts about what could not be read; empty hides them.
    void SetNotice(const QString& text);
    void AddNotice(const QString& text);
    bool Reading() const;

    int StationCount() const { return static_cast<int>(stations_.size()); }
    const THistoryStation& Station(int station) const;
    int MainStation() const { return mainStation_; }
    // The days of a station; by default of the one the main window shows.
    const std::vector<THistoryDay>& Days(int station = -1) const;
    QDate ShownDay() const { return shownDay_; }
    QDate Today() const { return today_; }
    THistorySpan Span() const { return span_; }

    // The day axis: the whole span, or the part zoomed to.
    TTimeSpan VisibleSpan() const;
    bool Zoomed() const { return zoom_.has_value(); }
    // Shows the days from `from` to `to` (DayTimes; at least a few days, within the span).
    void ZoomTo(double from, double to);
    void ResetZoom();
    // Wheel steps (one notch = 1, positive zooms in) around the day at pixel x of a panel.
    void WheelZoom(THistoryMetric metric, int x, double steps);
    // The day the keyboard selected (Left, Right, Home, End), which Enter shows in the main window; it
    // starts at the shown day. Its figures are written under the charts.
    QDate SelectedDay() const { return selectedDay_; }
    QLabel* SelectedDayLabel() const { return selectedLabel_; }

    chart::TChartPanel& Panel(THistoryMetric metric) { return *panels_[static_cast<std::size_t>(metric)]; }
    QLabel* Legend() const { return legend_; }
    QLabel* Notice() const { return notice_; }
    QMenu* PopupMenu() const { return popupMenu_; }
    // The readable day nearest to a point of a panel's plot, of the station whose line is nearest
    // there; nothing off the plot.
    std::optional<THistoryPick> PickAt(THistoryMetric metric, QPoint point);

    static constexpr double kMinimumZoomDays = 3;

  signals:
    // A day was chosen; station is an index into the stations, -1 for the main window's.
    void DayClicked(QDate day, int station = -1);
    void SpanChosen(THistorySpan span);
    // "Compare with folder..." and "Remove compared folders" in the popup.
    void CompareAsked();
    void ComparedRemoved();
    // The window was closed or hidden: reading its days is no longer needed.
    void Hidden();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct TStationDays {
        THistoryStation station;
        std::vector<THistoryDay> days;
    };
    enum class DragMode { None, Select, Pan };

    void CreatePopupMenu();
    void Replot();
    void Select(QDate day);
    void UpdateTexts();
    TTimeSpan FullSpan() const;
    void PaintOverlay(const chart::TChartPanel& panel, QPainter& painter) const;
    bool MousePress(int metric, const QMouseEvent& event);
    bool MouseMove(int metric, const QMouseEvent& event);
    bool MouseRelease(int metric, const QMouseEvent& event);

    QLabel* legend_ = nullptr;
    QLabel* notice_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    std::array<chart::TChartPanel*, kHistoryMetricCount> panels_{};
    std::vector<TStationDays> stations_;
    int mainStation_ = 0;
    THistorySpan span_ = THistorySpan::Month;
    THistoryDates dates_;
    std::optional<std::pair<QDate, QDate>> expectedSpan_;
    QDate shownDay_;
    QDate today_;
    std::optional<TTimeSpan> zoom_;

    DragMode drag_ = DragMode::None;
    int dragStartX_ = 0;
    TTimeSpan dragStartSpan_;
    std::optional<TTimeSpan> band_;
    QDate selectedDay_;
    QLabel* selectedLabel_ = nullptr;
    core::LocaleConventions locale_;
};

}  // namespace marlix::ui
