#pragma once

// "Satellites": for the shown day, one row per satellite number and one column per minute, coloured
// by the satellite's mean level in that minute, on the same time scale as the main charts.

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>

#include "marlix/core/day_analysis.h"
#include "marlix/core/satellites.h"

class QPainter;

namespace marlix::ui {

class TSatelliteView : public QWidget {
    Q_OBJECT

  public:
    explicit TSatelliteView(QWidget* parent = nullptr);

    // The day's per-satellite levels (a load with LoadOptions::satellites set).
    void SetDay(core::SatelliteDay day);
    const core::SatelliteDay& Day() const { return day_; }

    // The time range across the strip, as the main charts' bottom axis shows it (DayTime).
    void SetTimeRange(double firstX, double lastX);
    // The strip's left and right pixel edges, to line up with the main charts' plot rectangles;
    // without them the strip leaves room for the satellite numbers on the left.
    void SetPlotEdges(int left, int right);
    // The decimal and time separators of the hover text and the time labels.
    void SetLocale(const core::LocaleConventions& locale);

    // Colour of a level: the level rounded to a whole one from 0 (red) to 9 (green).
    static QColor LevelColour(double level);
    static int LevelStep(double level);

    // Where the rows and columns are drawn, after the latest resize.
    QRect StripRect() const;
    int RowHeight() const;
    // The pixel column where a time falls, and the minute (as DayTime) drawn at a pixel column.
    int TimeToPixel(double t) const;
    std::optional<double> MinuteAt(int x) const;
    // "Satellite 12, 10:05 UTC, level 5.5" (or "not listed"), empty off the strip.
    QString HoverText(QPoint position) const;
    // The cell the keyboard selected (Up and Down move over satellites, Left and Right over minutes,
    // with Shift ten, Home and End to the ends); its text is the view's accessible description.
    QString SelectedText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void PaintLegend(QPainter& painter, const QRect& area) const;
    void PaintTimeLabels(QPainter& painter, const QRect& strip) const;
    QString HourMinute(double t) const;
    std::optional<QRect> SelectedCell() const;
    void Select(int row, double minute);

    core::SatelliteDay day_;
    core::LocaleConventions locale_;
    double firstX_ = 0;
    double lastX_ = 1;
    std::optional<std::pair<int, int>> plotEdges_;
    int selectedRow_ = -1;
    double selectedMinute_ = 0;
};

}  // namespace marlix::ui
