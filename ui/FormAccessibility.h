#pragma once

#include <QObject>
#include <memory>

namespace marlix::ui {

class TChartKeyboard;
class TFormMain;

// The main window for keyboard and screen-reader users: every control named for assistive technology,
// the tab order, the charts described from the shown day, and the keyboard on the charts.
class TFormAccessibility : public QObject {
  public:
    explicit TFormAccessibility(TFormMain& form);
    ~TFormAccessibility() override;

    // The charts' descriptions from the shown day and span; after every load and zoom.
    void DescribeCharts();
    // Says the notice line's new text at once.
    void AnnounceNotice();
    TChartKeyboard& Keyboard() { return *keyboard_; }

  private:
    void NameControls();
    void SetTabOrder();

    TFormMain& form_;
    std::unique_ptr<TChartKeyboard> keyboard_;
};

}  // namespace marlix::ui
