#include "SideWindow.h"

#include <QKeyEvent>
#include <QWidget>

namespace marlix::ui {

namespace {

class TCloseOnKeys : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape && !key->matches(QKeySequence::Close)) return false;
        static_cast<QWidget*>(watched)->close();
        return true;
    }
};

}  // namespace

void MakeSideWindow(QWidget& window, const QString& title) {
    window.setWindowFlag(Qt::Window);
    window.setWindowTitle(title);
    window.setFocusPolicy(Qt::StrongFocus);
    window.installEventFilter(new TCloseOnKeys(&window));
}

}  // namespace marlix::ui
