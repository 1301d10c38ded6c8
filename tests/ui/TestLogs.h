#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "ui/Clock.h"

namespace marlix::ui::test {

// Writes receiver record blocks, one per second, from..to inclusive (UTC).
QString RecordBlocks(const QDateTime& from, const QDateTime& to, bool control = false);
// Writes text into dir/name and returns the full path.
QString WriteFile(const QString& dir, const QString& name, const QString& text);
QString DayName(QDate date);

// A clock the test moves by hand.
class TFakeClock : public TClock {
  public:
    QDateTime utc = QDateTime(QDate(2026, 3, 15), QTime(12, 0, 30), Qt::UTC);
    QDateTime local = QDateTime(QDate(2026, 3, 15), QTime(13, 41, 59));
    QDateTime NowUTC() const override { return utc; }
    QDateTime NowLocal() const override { return local; }
};

}  // namespace marlix::ui::test
