#include "DropFileTarget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <utility>

namespace marlix::ui {

namespace {

Qt::DropAction DropActionFor(const QDropEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool link = (mods & Qt::ControlModifier) && (mods & Qt::ShiftModifier);
    const Qt::DropAction wanted = link ? Qt::LinkAction : Qt::CopyAction;
    const Qt::DropAction other = link ? Qt::CopyAction : Qt::LinkAction;
    if (event->possibleActions() & wanted) return wanted;
    if (event->possibleActions() & other) return other;
    return Qt::IgnoreAction;
}

}  // namespace

TDropFileTarget::TDropFileTarget(QWidget& window, Drop onDrop) : window_(window), onDrop_(std::move(onDrop)) {
    window_.setAcceptDrops(true);
    window_.installEventFilter(this);
}

TDropFileTarget::~TDropFileTarget() {
    window_.removeEventFilter(this);
    window_.setAcceptDrops(false);
}

bool TDropFileTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) return false;
    switch (event->type()) {
        case QEvent::DragEnter: {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            const Qt::DropAction action = DropActionFor(enter);
            if (enter->mimeData()->hasUrls() && action != Qt::IgnoreAction) {
                enter->setDropAction(action);
                enter->accept();
            }
            return true;
        }
        case QEvent::DragMove: {
            auto* move = static_cast<QDragMoveEvent*>(event);
            const Qt::DropAction action = DropActionFor(move);
            if (action == Qt::IgnoreAction) {
                move->ignore();
            } else {
                move->setDropAction(action);
                move->accept();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const Qt::DropAction action = DropActionFor(drop);
            if (action == Qt::IgnoreAction) return true;
            QStringList files;
            for (const QUrl& url : drop->mimeData()->urls()) {
                if (url.isLocalFile()) files << url.toLocalFile();
            }
            drop->setDropAction(action);
            drop->accept();
            onDrop_(files);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace marlix::ui
