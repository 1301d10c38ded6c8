#pragma once

#include <QObject>
#include <functional>

class QKeyEvent;
class QWidget;

namespace marlix::ui {

// Lets a window see every key pressed in it once, before the focused control does.
class TKeyPreview : public QObject {
  public:
    // True when the key is used up and must not reach the focused control.
    using Preview = std::function<bool(const QKeyEvent& key)>;

    TKeyPreview(QWidget& window, Preview preview);
    // The keys go to the window's native window, which exists once the window is shown: call this from
    // its show event.
    void Attach();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    Preview preview_;
    bool attached_ = false;
};

}  // namespace marlix::ui
