#include "KeyPreview.h"

#include <QKeyEvent>
#include <QWidget>
#include <QWindow>
#include <utility>

namespace marlix::ui {

TKeyPreview::TKeyPreview(QWidget& window, Preview preview) : window_(window), preview_(std::move(preview)) {}

void TKeyPreview::Attach() {
    if (attached_ || !window_.windowHandle()) return;
    window_.windowHandle()->installEventFilter(this);
    attached_ = true;
}

bool TKeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_.windowHandle() || event->type() != QEvent::KeyPress) return false;
    return preview_(*static_cast<QKeyEvent*>(event));
}

}  // namespace marlix::ui
