#pragma once

#include <QString>

class QWidget;

namespace marlix::ui {

// Makes a child of the main window a titled window of its own beside it, which closes from the
// keyboard: Escape or any of the platform's Close keys. Keys its views leave unused reach the window
// itself.
void MakeSideWindow(QWidget& window, const QString& title);

}  // namespace marlix::ui
