#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <vector>

#include "marlix/core/day_analysis.h"

namespace marlix::chart {
class TChartPanel;
}

namespace marlix::ui {

class TChartInteraction;
class TSignalCharts;

// The keyboard on the three signal charts. A focused chart shows the cursor: Left and Right move it by
// a minute (with Shift ten), Home and End go to the first and last record, + and - zoom around it,
// Ctrl+Left and Ctrl+Right pan. The readout follows, and its text is the focused chart's accessible
// value.
class TChartKeyboard : public QObject {
  public:
    using Minutes = std::function<const std::vector<core::MinuteReading>&()>;

    TChartKeyboard(TChartInteraction& interaction, TSignalCharts& charts,
                   std::array<chart::TChartPanel*, 3> panels, Minutes minutes);

    // Whether one of the charts has the keyboard focus.
    bool ChartFocused() const;
    // What a key does on a focused chart; true when it is used up.
    bool ChartKey(chart::TChartPanel& panel, int key, Qt::KeyboardModifiers modifiers);

    static constexpr double kStep = 1.0 / 1440;  // a minute
    static constexpr int kLongStep = 10;         // minutes, with Shift
    static constexpr double kPanShare = 0.25;    // of the shown span per Ctrl+arrow

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    chart::TChartPanel* PanelOf(const QObject* object) const;
    void ShowCursor(chart::TChartPanel& panel, double time);
    void FocusEntered(chart::TChartPanel& panel);
    void FocusLeft(chart::TChartPanel& panel);

    TChartInteraction& interaction_;
    TSignalCharts& charts_;
    std::array<chart::TChartPanel*, 3> panels_;
    Minutes minutes_;
};

}  // namespace marlix::ui
