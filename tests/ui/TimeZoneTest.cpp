// Navigation follows the UTC date and auto refresh the local minute, whatever the time zone.
#include <QCheckBox>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <ctime>

#include "FormFixture.h"

namespace marlix::ui::test {
namespace {

// The real clock's conversions, at an instant the test chooses.
class TInstantClock : public TClock {
  public:
    QDateTime instant;
    QDateTime NowUTC() const override { return instant.toUTC(); }
    QDateTime NowLocal() const override { return instant.toLocalTime(); }
};

// Sets TZ for the length of a test.
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) : old_(qgetenv("TZ")), had_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneGuard() {
        if (had_) {
            qputenv("TZ", old_);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }

  private:
    QByteArray old_;
    bool had_;
};

class TimeZoneTest : public FormFixture {
  protected:
    std::unique_ptr<TFormMain> MakeZonedForm() {
        clock = nullptr;
        TFormMainOptions options;
        options.programDirectory = programDir.path();
        options.runStartup = false;
        options.clock = instantClock;
        options.reloadDelayMs = 0;
        auto form = std::make_unique<TFormMain>(std::move(options));
        form->SetDataDirectory(dataDir.path());
        return form;
    }
    std::shared_ptr<TInstantClock> instantClock = std::make_shared<TInstantClock>();
};

TEST_F(TimeZoneTest, YesterdayIsTheUtcDayBeforeEvenWhereTheLocalDateIsAlreadyTomorrow) {
    ZoneGuard zone("Pacific/Kiritimati");  // UTC+14
    auto form = MakeZonedForm();
    instantClock->instant = QDateTime(QDate(2026, 3, 14), QTime(23, 59, 59), Qt::UTC);
    ASSERT_EQ(instantClock->NowLocal().date(), QDate(2026, 3, 15));
    form->ButtonYesterdayClick();
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), QDate(2026, 3, 13));
    form->ButtonTodayClick();
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), QDate(2026, 3, 14));
    // Next stops at the UTC day, although the local calendar has moved on.
    form->BitBtnDayChangeClick(form->BitBtnNext());
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), QDate(2026, 3, 14));

    instantClock->instant = instantClock->instant.addSecs(2);  // 00:00:01 UTC
    form->BitBtnDayChangeClick(form->BitBtnNext());
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), QDate(2026, 3, 15));
}

TEST_F(TimeZoneTest, BehindUtcTheUtcDateIsAheadOfTheLocalOne) {
    ZoneGuard zone("America/Los_Angeles");
    auto form = MakeZonedForm();
    instantClock->instant = QDateTime(QDate(2026, 3, 15), QTime(0, 30, 0), Qt::UTC);
    ASSERT_EQ(instantClock->NowLocal().date(), QDate(2026, 3, 14));
    form->ButtonTodayClick();
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), QDate(2026, 3, 15));
}

TEST_F(TimeZoneTest, AutoRefreshFollowsTheLocalMinuteAcrossTheSpringForwardChange) {
    ZoneGuard zone("Europe/Berlin");  // 2026-03-29 01:00 UTC: 02:00 CET becomes 03:00 CEST
    WriteDay(yesterday);
    auto form = MakeZonedForm();
    form->SetPickerDate(yesterday);
    form->show();
    instantClock->instant = QDateTime(QDate(2026, 3, 29), QTime(0, 59, 58), Qt::UTC);
    ASSERT_EQ(instantClock->NowLocal().time(), QTime(1, 59, 58));
    QTest::mouseClick(form->CheckBoxAutoRefresh(), Qt::LeftButton);

    instantClock->instant = instantClock->instant.addSecs(3);  // 03:00:01 local
    ASSERT_EQ(instantClock->NowLocal().time(), QTime(3, 0, 1));
    form->TimerAutoRefreshTimer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LoadCount() == 1; }, 1000));

    instantClock->instant = instantClock->instant.addSecs(2);
    form->TimerAutoRefreshTimer();
    QApplication::processEvents();
    EXPECT_EQ(form->LoadCount(), 1);
}

TEST_F(TimeZoneTest, AutoRefreshSeesTheRepeatedHourOfTheAutumnChangeAsNewMinutes) {
    ZoneGuard zone("Europe/Berlin");  // 2026-10-25 01:00 UTC: 03:00 CEST becomes 02:00 CET
    WriteDay(yesterday);
    auto form = MakeZonedForm();
    form->SetPickerDate(yesterday);
    form->show();
    instantClock->instant = QDateTime(QDate(2026, 10, 25), QTime(0, 59, 58), Qt::UTC);
    ASSERT_EQ(instantClock->NowLocal().time(), QTime(2, 59, 58));
    QTest::mouseClick(form->CheckBoxAutoRefresh(), Qt::LeftButton);

    instantClock->instant = instantClock->instant.addSecs(3);  // 02:00:01 local, an hour "back"
    ASSERT_EQ(instantClock->NowLocal().time(), QTime(2, 0, 1));
    form->TimerAutoRefreshTimer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LoadCount() == 1; }, 1000));
}

}  // namespace
}  // namespace marlix::ui::test
