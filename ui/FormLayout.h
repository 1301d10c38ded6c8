#pragma once

#include <QRect>
#include <QSize>
#include <array>
#include <vector>

class QLabel;
class QWidget;

namespace marlix::chart {
class TChartPanel;
}

namespace marlix::ui {

// The main window's controls whose places the layout keeps.
struct TFormControls {
    chart::TChartPanel* chartStrength;
    chart::TChartPanel* chartPdop;
    chart::TChartPanel* chartMode;
    QWidget* buttonToday;
    QWidget* buttonYesterday;
    QWidget* dateTimePicker;
    QWidget* bitBtnPrev;
    QWidget* bitBtnNext;
    QWidget* checkBoxAutoRefresh;
    QLabel* labelSummary;
    QLabel* labelNotes;
    QLabel* labelNotice;
    QWidget* buttonClose;
    // The status line under the buttons: the notice, a link to choose the folder, the zoomed span and
    // a long load's progress.
    QLabel* labelOpenFolder;
    QLabel* labelZoom;
    QWidget* progressBar;
};

// Where the main window's controls go: each at its place in the design, kept at its distance to the
// window edges it is anchored to as the window resizes; the three charts sharing the height above the
// buttons; the status line under the buttons, which takes no room from the charts whatever it shows;
// and the smallest window in which no text is cut.
class TFormLayout {
  public:
    static constexpr int kDesignWidth = 772;
    static constexpr int kDesignHeight = 556;

    // Puts the controls at their design places, for a window of the design size and the status line.
    explicit TFormLayout(const TFormControls& controls);

    // The window's size at start: the design's, with the status line below it.
    QSize StartSize() const;
    // Moves and stretches the controls by their anchors for the window's size.
    void Anchor(QSize window);
    // Gives the three charts equal heights in the space above the buttons and returns that height.
    int StackCharts();
    // Shares the status line out among what it shows.
    void PlaceStatusLine(QSize window);
    // Takes what a chart of this height needs besides its plot rectangle, measured after an alignment;
    // true when that changes the minimum size.
    bool MeasureChartOverhead(int chartHeight);

    QSize MinimumFormSize() const;
    int MinimumChartHeight() const;
    int StatusLineHeight() const;

  private:
    struct TAnchored {
        QWidget* widget;
        QRect design;  // empty for labels, which size themselves to their text
        int anchors;
    };

    TFormControls controls_;
    std::vector<TAnchored> anchored_;
    // What a chart needs besides its plot rectangle (title, time labels, margins); the design's until
    // the first drawing pass.
    int chartOverhead_ = 46;
};

}  // namespace marlix::ui
