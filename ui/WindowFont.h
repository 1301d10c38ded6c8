#pragma once

#include <QFont>
#include <QString>

class QDateEdit;

namespace marlix::ui {

// The window's font: Liberation Sans 8 point (Debian's fonts-liberation, the metric twin of Arial, the
// charts' font). Tahoma is no Debian font, and what a fontconfig fallback for it would give (DejaVu
// Sans, wider) does not fit the controls' design sizes.
QFont WindowFont();

// The picker shows the locale's short date where the widest date of that format fits the picker's
// text field, else the ISO date of the day files' names (the C locale's "d MMM yyyy" does not fit).
QString PickerDisplayFormat(const QDateEdit& picker);

}  // namespace marlix::ui
