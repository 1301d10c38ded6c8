#pragma once

#include <QFont>
#include <QString>

class QDateEdit;

namespace marlix::ui {

// The window's font: Liberation Sans 8 point (Debian's fonts-liberation, the metric twin of Arial, the
// charts' font). Tahoma is no Debian font, and what a fontconfig fallback for it would give (DejaVu
// Sans, wider) does not fit the controls' design sizes.
QFont WindowFont();

// The picker shows the locale's short date: in the window's font where the widest date of that format
// fits the picker's text field, else in a font up to a point smaller; only where even that does not
// fit, the ISO date of the day files' names.
void FitPickerDate(QDateEdit& picker);

}  // namespace marlix::ui
