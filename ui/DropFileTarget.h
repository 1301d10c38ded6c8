#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

namespace marlix::ui {

// A window's file drop target. It accepts drops offered for copying or for linking (a link with Ctrl
// and Shift held, a copy otherwise; a source that offers only the other of the two still gets that
// one) and hands over the dropped local files as full paths, in the order the source gives them.
class TDropFileTarget : public QObject {
  public:
    using Drop = std::function<void(const QStringList& files)>;

    // Registers the window as a drop target; destroying the target unregisters it.
    TDropFileTarget(QWidget& window, Drop onDrop);
    ~TDropFileTarget() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    Drop onDrop_;
};

}  // namespace marlix::ui
