#pragma once

#include <QAccessible>

class QLabel;

namespace marlix::ui {

// Makes the chart panels known to assistive technology as charts whose value (the cursor readout)
// can be read as text, and the labels marked with MarkTextValue as static text with a name of their own
// and their text as value. Once per program; later calls do nothing.
void InstallAccessibleText();

// The label keeps its accessible name, and its text becomes its value; the role says what it is
// (static text, or an alert that is announced when it shows).
void MarkTextValue(QLabel& label, QAccessible::Role role = QAccessible::StaticText);

}  // namespace marlix::ui
