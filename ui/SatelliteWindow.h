#pragma once

#include <marlix/core/satellites.h>

#include <QString>

class QWidget;

namespace marlix::chart {
class TChart;
}

namespace marlix::ui {

class TSatelliteView;

// The Satellites window beside the main one: made the first time it is asked for, it takes the
// levels of every load that read them and shows the time span the main charts show.
class TSatelliteWindow {
  public:
    // The span is that of timeScale's bottom axis.
    TSatelliteWindow(QWidget& mainWindow, const chart::TChart& timeScale);

    // Makes the window (width wide) the first time, shows it and brings it to the front.
    void Show(int width);
    // Loads read the levels only while the window is open.
    bool IsOpen() const;
    // The levels of a load; the title names the station and the day or days they are of.
    void SetDay(const core::SatelliteDay& day, const QString& title);
    void FollowSpan();
    // Nothing until it is first shown.
    TSatelliteView* View() const { return view_; }

  private:
    QWidget& mainWindow_;
    const chart::TChart& timeScale_;
    TSatelliteView* view_ = nullptr;
};

}  // namespace marlix::ui
