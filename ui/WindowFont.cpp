#include "WindowFont.h"

#include <QDateEdit>
#include <QFontMetrics>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace marlix::ui {
namespace {

// QLineEdit keeps this many pixels between its contents rectangle and its text on either side.
constexpr int kLineEditTextMargin = 2;

// The text field of a picker with a calendar popup, as QDateTimeEdit places its line edit.
int PickerTextWidth(const QDateEdit& picker) {
    QStyleOptionComboBox option;
    option.initFrom(&picker);
    option.editable = true;
    option.subControls = QStyle::SC_ComboBoxEditField;
    const QRect field =
        picker.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &picker);
    return field.width() - 2 * kLineEditTextMargin;
}

}  // namespace

QFont WindowFont() {
    return QFont("Liberation Sans", 8);
}

void FitPickerDate(QDateEdit& picker) {
    const QLocale locale = picker.locale();
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const auto fits = [&](const QFont& font) {
        const QFontMetrics metrics(font, &picker);
        int widest = 0;
        for (int month = 1; month <= 12; ++month)
            widest =
                std::max(widest, metrics.horizontalAdvance(locale.toString(QDate(2024, month, 28), format)));
        return widest <= PickerTextWidth(picker);
    };
    // The short dates of common locales are a few pixels too wide for the design's field; a font a
    // little smaller keeps them readable where the ISO date would look foreign.
    constexpr double kSmallestPointSize = 7;
    QFont font = picker.font();
    for (double size = font.pointSizeF(); size >= kSmallestPointSize; size -= 0.5) {
        font.setPointSizeF(size);
        if (!fits(font)) continue;
        if (size != picker.font().pointSizeF()) picker.setFont(font);
        picker.setDisplayFormat(format);
        return;
    }
    picker.setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
}

}  // namespace marlix::ui
