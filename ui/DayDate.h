#pragma once

// The window's dates (QDate) as the core's day values and day file names.

#include <marlix/core/analysis.h>
#include <marlix/core/days.h>
#include <marlix/core/daytime.h>

#include <QDate>
#include <QString>

namespace marlix::ui {

// Midnight of the date.
inline core::DayTime DayTimeOf(QDate date) {
    return core::EncodeDate(date.year(), date.month(), date.day());
}

// The date of the whole-day part.
inline QDate DateOf(core::DayTime time) {
    const core::CivilDate date = core::DecodeDate(time);
    return {date.year, date.month, date.day};
}

// The name of the day log of the date (the core spells it).
inline QString DayFileName(QDate date) {
    return QString::fromStdString(core::DayFileName(DayTimeOf(date)));
}

}  // namespace marlix::ui
