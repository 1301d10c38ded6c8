#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "marlix/signal_charts/SignalCharts.h"

class QLabel;
class QMouseEvent;
class QPainter;
class QWidget;

namespace marlix::chart {
class TChartPanel;
class TChartSeries;
}  // namespace marlix::chart

namespace marlix::ui {

// The index of the point whose X is nearest to x in a series with ascending X values; a tie goes to
// the first point at or after x. -1 for a series without points.
int NearestPointIndex(const chart::TChartSeries& series, double x);

// The readout for a cursor time: "hh:mm:ss UTC", then the minute nearest in time ("Minute hh:mm", the
// minute its close at hh:mm+1:01 ends) with one "Title: value" line per series ("—" for a reading the
// minute lacks), fix and lock mode as words. Inside a logging gap, "no records hh:mm–hh:mm" instead;
// before the first minute with records "no records before hh:mm", after the last "no records after
// hh:mm". With `withDate` (a view of several days) the time is preceded by its date, yyyy-mm-dd.
// Times and numbers with the locale's separators.
QString CursorReadout(const std::vector<core::MinuteReading>& minutes, bool controlFormat, double time,
                      const core::LocaleConventions& locale = {}, bool withDate = false);

// The span, at least `minimum` wide, moved back within `bounds` where it runs past an end, keeping
// its width where it can.
TTimeSpan FitSpan(TTimeSpan span, TTimeSpan bounds, double minimum);
// The span after wheel steps around a time (one notch = 1, positive zooms in), each notch keeping
// `factor` of the width on either side of it.
TTimeSpan WheelSpan(TTimeSpan shown, double at, double steps, double factor);

// The mouse on the three signal charts: drag, wheel and pan zoom the shared time axis, and one cursor
// line with a readout follows the pointer over all three. Cursor and band are painted over the
// panels' kept pictures, so moving the mouse runs no drawing pass.
class TChartInteraction : public QObject {
    Q_OBJECT

  public:
    // The readout box becomes a child of readoutParent, which also holds the panels.
    TChartInteraction(TSignalCharts& charts, std::array<chart::TChartPanel*, 3> panels,
                      QWidget* readoutParent);
    ~TChartInteraction() override;

    // Shows the span on all three charts, widened to a few minutes at least and kept within the day.
    void ZoomTo(double from, double to);
    // Back to the day range.
    void ResetZoom();
    // Takes the cursor line and the readout away until the pointer moves again.
    void HideCursor();
    // "Showing hh:mm–hh:mm · Esc: whole day" while the charts show part of the view (with dates when
    // it spans several days); empty otherwise.
    QString ZoomText() const;
    // Wheel steps (one notch = 1, positive zooms in) around the time at pixel x of the panel.
    void WheelZoom(const chart::TChartPanel& panel, int x, double steps);
    // Moves the shown span by a time, keeping its width and staying within the day.
    void PanBy(double shift);

    // To be called after every load: a reload of the same day keeps the zoomed span, another day
    // shows its whole range.
    void DayPlotted(bool sameDay);
    // The closed minutes of the shown view, which the readout reads.
    void SetMinutes(std::vector<core::MinuteReading> minutes) { minutes_ = std::move(minutes); }

    // The cursor at a time, with the readout beside its line on the panel, as the keyboard moves it.
    void ShowCursorAt(const chart::TChartPanel& panel, double time);

    std::optional<double> CursorTime() const { return cursor_; }
    std::optional<TTimeSpan> Band() const { return band_; }
    QLabel* Readout() const { return readout_; }

    // Cursor, band and readout stay off while a picture of the window is taken.
    void SetOverlaysHidden(bool hidden);

    // Runs the handling of each panel event; the window passes the guard of its own handlers, which
    // shows an exception in its error box. No exception may reach Qt's event loop: one that the
    // guard lets through (or, without a guard, any) is logged and dropped.
    using Guard = std::function<void(const std::function<void()>& handler)>;
    void SetGuard(Guard guard) { guard_ = std::move(guard); }

    static constexpr int kMinimumDragPixels = 5;
    static constexpr double kMinimumSpan = 5.0 / 1440;  // five minutes: a few points stay in view
    static constexpr double kWheelFactor = 0.8;         // span kept per notch when zooming in

  signals:
    // The shown time span of the charts changed (zoom, pan or back to the day), or a load plotted a day.
    void SpanChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // What an event on one of the panels does; true when it is used up.
    virtual bool FilterPanelEvent(chart::TChartPanel& panel, QEvent* event);

  private:
    enum class DragMode { None, Select, Pan };

    int PanelIndex(const QObject* object) const;
    bool InsidePlot(const chart::TChartPanel& panel, int x) const;
    int ClampToPlot(const chart::TChartPanel& panel, int x) const;
    void ShowSpan(TTimeSpan span);
    void MoveCursor(const chart::TChartPanel& panel, QPoint position);
    void UpdateReadout(QPoint pointerInParent);
    void PaintOverlay(const chart::TChartPanel& panel, QPainter& painter) const;
    void RepaintPanels();
    bool MousePress(chart::TChartPanel& panel, QMouseEvent& event);
    bool MouseMove(chart::TChartPanel& panel, QMouseEvent& event);
    bool MouseRelease(chart::TChartPanel& panel, QMouseEvent& event);

    TSignalCharts& charts_;
    std::vector<core::MinuteReading> minutes_;
    std::array<chart::TChartPanel*, 3> panels_;
    Guard guard_;
    QLabel* readout_ = nullptr;
    std::optional<TTimeSpan> zoom_;
    std::optional<double> cursor_;
    std::optional<TTimeSpan> band_;
    QPoint lastPointer_;
    bool overlaysHidden_ = false;

    DragMode drag_ = DragMode::None;
    int dragPanel_ = -1;
    int dragStartX_ = 0;
    double dragStartTime_ = 0;
};

}  // namespace marlix::ui
