// Day buttons, the date picker and the navigation keys.
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "FormFixture.h"

namespace marlix::ui::test {
namespace {

class NavigationTest : public FormFixture {
  protected:
    void SetUp() override {
        FormFixture::SetUp();
        for (QDate d : {today.addDays(-2), yesterday, today}) WriteDay(d);
        form = MakeForm();
    }
    std::unique_ptr<TFormMain> form;
};

// Counts the key presses that reach a widget, to see that the window does not consume them.
class KeyCounter : public QObject {
  public:
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) ++presses;
        return false;
    }
};

TEST_F(NavigationTest, TodayAndYesterdayUseTheUtcDate) {
    clock->utc = QDateTime(today, QTime(0, 0, 1), Qt::UTC);
    QTest::mouseClick(form->ButtonToday(), Qt::LeftButton);
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today);
    QTest::mouseClick(form->findChild<QPushButton*>("ButtonYesterday"), Qt::LeftButton);
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), yesterday);
    EXPECT_EQ(form->LoadCount(), 2);
}

TEST_F(NavigationTest, NextMovesUpToTodayAndThenReloadsWithoutMovingAndSaysWhy) {
    form->SetPickerDate(yesterday);
    QTest::mouseClick(form->BitBtnNext(), Qt::LeftButton);
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today);
    EXPECT_EQ(form->LoadCount(), 1);
    QTest::mouseClick(form->BitBtnNext(), Qt::LeftButton);
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today);
    EXPECT_EQ(form->LoadCount(), 2);
    EXPECT_EQ(form->LabelNotice()->text(), "No later day: today is 15 Mar 2026 (UTC)");
}

TEST_F(NavigationTest, StepsGoOverDaysWithoutALogAndStopAtTheEndsSayingWhy) {
    // Logs of 1, 3 and 5 Mar (with the fixture's 13 to 15 Mar); a log dated after today is no day.
    for (int day : {1, 3, 5}) WriteDay(QDate(2026, 3, day));
    WriteDay(today.addDays(3));
    form->SetPickerDate(today.addDays(-2));
    std::vector<QDate> back;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(form->windowHandle(), ',');
        form->WaitForLoad();
        back.push_back(form->PickerDate());
    }
    EXPECT_EQ(back, (std::vector<QDate>{{2026, 3, 5}, {2026, 3, 3}, {2026, 3, 1}, {2026, 3, 1}}));
    EXPECT_EQ(form->LabelNotice()->text(), "No earlier day log in " + dataDir.path() + '/');
    EXPECT_EQ(form->LoadCount(), 4);

    QTest::mouseClick(form->BitBtnNext(), Qt::LeftButton);
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), QDate(2026, 3, 3));
    EXPECT_FALSE(form->LabelNotice()->isVisible());
    // Past the newest log, a day at a time toward today.
    QFile::remove(dataDir.path() + '/' + DayName(today));
    QFile::remove(dataDir.path() + '/' + DayName(yesterday));
    QFile::remove(dataDir.path() + '/' + DayName(today.addDays(-2)));
    form->SetPickerDate(QDate(2026, 3, 5));
    QTest::keyClick(form->windowHandle(), '.');
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), QDate(2026, 3, 6));
}

TEST_F(NavigationTest, ADayWithoutFileKeepsThePreviousViewWhileThePickerMoves) {
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    const QString notes = form->LabelNotes()->text();
    form->DateTimePicker()->setDate(QDate(2020, 1, 1));  // the user's edit raises the change
    EXPECT_EQ(form->PickerDate(), QDate(2020, 1, 1));
    EXPECT_EQ(form->LabelNotes()->text(), notes);
    EXPECT_EQ(form->LoadCount(), 1);
}

TEST_F(NavigationTest, SettingThePickerFromCodeRaisesNoChange) {
    form->SetPickerDate(yesterday);
    EXPECT_EQ(form->LoadCount(), 0);
}

TEST_F(NavigationTest, F5ReloadsTheShownDay) {
    form->SetPickerDate(yesterday);
    QTest::keyClick(form->windowHandle(), Qt::Key_F5);
    form->WaitForLoad();
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->PickerDate(), yesterday);
}

TEST_F(NavigationTest, CommaAndLessThanGoBackPeriodAndGreaterThanGoForward) {
    form->SetPickerDate(today);
    QTest::keyClick(form->windowHandle(), ',');
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), yesterday);
    QTest::keyClick(form->windowHandle(), '<');
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today.addDays(-2));
    QTest::keyClick(form->windowHandle(), '.');
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), yesterday);
    QTest::keyClick(form->windowHandle(), '>');
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today);
    QTest::keyClick(form->windowHandle(), 'x');
    EXPECT_EQ(form->PickerDate(), today);
    EXPECT_EQ(form->LoadCount(), 4);
}

TEST_F(NavigationTest, KeysReachTheWindowFirstAndStillReachTheFocusedControl) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->BitBtnNext()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), form->BitBtnNext());
    KeyCounter counter;
    form->BitBtnNext()->installEventFilter(&counter);
    form->SetPickerDate(yesterday);

    QTest::keyClick(form->windowHandle(), ',');
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), today.addDays(-2));
    EXPECT_EQ(counter.presses, 1);
    QTest::keyClick(form->windowHandle(), Qt::Key_F5);
    form->WaitForLoad();
    EXPECT_EQ(counter.presses, 2);
    EXPECT_EQ(form->LoadCount(), 2);  // once per key, however far the key travels
}

}  // namespace
}  // namespace marlix::ui::test
