#include "UserLocale.h"

#include <QLocale>
#include <QString>

namespace marlix::ui {

namespace {

// The first separator character of the locale's short time format, ":" when it has none.
std::string TimeSeparator(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if ((c == 'h' || c == 'H') && i + 1 < format.size() && !format[i + 1].isLetter() &&
            format[i + 1] != 'h' && format[i + 1] != 'H') {
            return QString(format[i + 1]).toStdString();
        }
    }
    return ":";
}

}  // namespace

core::LocaleConventions UserLocaleConventions() {
    const QLocale locale;
    core::LocaleConventions conventions;
    for (int month = 1; month <= 12; ++month) {
        conventions.shortMonthNames[month - 1] = locale.monthName(month, QLocale::ShortFormat).toStdString();
    }
    conventions.decimalSeparator = locale.decimalPoint().toStdString();
    conventions.timeSeparator = TimeSeparator(locale);
    return conventions;
}

}  // namespace marlix::ui
