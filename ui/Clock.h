#pragma once

#include <QDateTime>

namespace marlix::ui {

// The window's only source of the current time, so that navigation (UTC) and
// auto refresh (local minute) can be driven by tests.
class TClock {
  public:
    virtual ~TClock() = default;
    virtual QDateTime NowUTC() const { return QDateTime::currentDateTimeUtc(); }
    virtual QDateTime NowLocal() const { return QDateTime::currentDateTime(); }
};

}  // namespace marlix::ui
