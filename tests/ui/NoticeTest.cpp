// The notice line (missing and unreadable days, wrong folders), the folder and files the window
// is given, its minimum size and the keys that close the other windows.
#include <marlix/chart/qt/chart_panel.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "FormFixture.h"
#include "ui/HistoryWindow.h"
#include "ui/SatelliteView.h"

namespace marlix::ui::test {
namespace {

class NoticeTest : public FormFixture {
  protected:
    // Yesterday's log shown, then today asked for.
    std::unique_ptr<TFormMain> ShowYesterdayThenToday() {
        auto form = MakeForm();
        form->SetPickerDate(yesterday);
        form->DateTimePickerChange();
        form->WaitForLoad();
        form->ButtonTodayClick();
        form->WaitForLoad();
        return form;
    }
    static QString Notice(const TFormMain& form) {
        return form.LabelNotice()->isVisible() ? form.LabelNotice()->text() : QString();
    }
    // The notice covers no control and stays inside the window.
    static void ExpectNoticeCoversNothing(TFormMain& form) {
        const QRect notice = form.LabelNotice()->geometry();
        EXPECT_TRUE(form.rect().contains(notice));
        for (QWidget* other : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other == form.LabelNotice() || !other->isVisible() || other->objectName() == "LabelReadout")
                continue;
            EXPECT_FALSE(other->geometry().intersects(notice)) << other->objectName().toStdString();
        }
    }
};

TEST_F(NoticeTest, MissingDayKeepsTheViewAndSaysSoUntilTheNextSuccessfulLoad) {
    WriteDay(yesterday);
    auto form = MakeForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    EXPECT_EQ(Notice(*form), "");
    const QString notes = form->LabelNotes()->text();
    const QString clipboard = form->ClipboardText();

    form->ButtonTodayClick();  // no log for today yet
    form->WaitForLoad();
    EXPECT_EQ(Notice(*form), "No log for 15 Mar 2026 in " + dataDir.path() + "/: showing 2026-Mar-14");
    EXPECT_EQ(form->LabelNotes()->text(), notes);
    EXPECT_EQ(form->ClipboardText(), clipboard);
    ExpectNoticeCoversNothing(*form);
    form->resize(form->minimumSize());
    QApplication::processEvents();
    ExpectNoticeCoversNothing(*form);

    form->SetPickerDate(QDate(2020, 1, 1));  // before the oldest day
    form->DateTimePickerChange();
    form->WaitForLoad();
    EXPECT_EQ(Notice(*form), "No log for 1 Jan 2020 in " + dataDir.path() + "/: showing 2026-Mar-14");

    WriteDay(today);
    form->ButtonTodayClick();
    form->WaitForLoad();
    EXPECT_EQ(Notice(*form), "");
    EXPECT_FALSE(form->LabelNotice()->isVisible());
    EXPECT_NE(form->LabelNotes()->text(), notes);
    EXPECT_TRUE(errors.empty());
}

TEST_F(NoticeTest, UnreadableDayAndDroppedFileNameTheFileAndTheReason) {
    WriteDay(yesterday);
    ASSERT_TRUE(QDir(dataDir.path()).mkdir(DayName(today)));  // a folder where the log should be
    auto form = ShowYesterdayThenToday();
    EXPECT_EQ(Notice(*form), "Cannot read " + dataDir.path() + '/' + DayName(today) + ": Is a directory");
    form->DropFileTarget1Drop({dataDir.path() + "/gone.txt"});
    form->WaitForLoad();
    EXPECT_EQ(Notice(*form), "Cannot read " + dataDir.path() + "/gone.txt: No such file or directory");
}

TEST_F(NoticeTest, AutoRefreshAfterUtcMidnightSaysSoUntilTodaysLogAppears) {
    WriteDay(yesterday);
    auto form = MakeForm();
    clock->utc = QDateTime(today, QTime(0, 0, 30), Qt::UTC);
    form->ButtonTodayClick();
    form->WaitForLoad();
    form->CheckBoxAutoRefresh()->click();
    EXPECT_EQ(Notice(*form), "No log for 15 Mar 2026 in " + dataDir.path() + '/');  // nothing shown yet
    EXPECT_EQ(form->LabelNotes()->toolTip(), dataDir.path() + '/' + DayName(today));

    clock->local = clock->local.addSecs(60);
    form->TimerAutoRefreshTimer();
    QTRY_COMPARE(form->LoadCount(), 0);
    EXPECT_EQ(Notice(*form), "No log for 15 Mar 2026 in " + dataDir.path() + '/');

    WriteDay(today);
    clock->local = clock->local.addSecs(60);
    form->TimerAutoRefreshTimer();
    QTRY_COMPARE(form->LoadCount(), 1);
    EXPECT_EQ(Notice(*form), "");
    EXPECT_TRUE(form->LabelNotes()->text().startsWith("2026-Mar-15"));
}

TEST_F(NoticeTest, StartupNamesAMissingFolderOrOneWithoutDayLogs) {
    auto missing = MakeStartedForm({dataDir.path() + "/no/such"});
    missing->TimerRunTimer();
    missing->WaitForLoad();
    EXPECT_EQ(Notice(*missing), "Folder not found: " + dataDir.path() + "/no/such; no day logs in " +
                                    programDir.path() + "/: choose their folder");
    EXPECT_EQ(missing->DataDirectory(), programDir.path() + '/');
    EXPECT_FALSE(missing->LabelOpenFolder()->isHidden());

    WriteFile(dataDir.path(), "readme.txt", "x");
    WriteFile(dataDir.path(), "9999-12-31_rx_data.txt", "x");  // never the newest day
    auto empty = MakeStartedForm({dataDir.path()});
    empty->TimerRunTimer();
    empty->WaitForLoad();
    EXPECT_EQ(Notice(*empty), "Only day logs dated after today in " + dataDir.path() + '/');
    EXPECT_FALSE(empty->LabelOpenFolder()->isHidden());

    WriteDay(yesterday);
    auto good = MakeStartedForm({dataDir.path()});
    good->TimerRunTimer();
    good->WaitForLoad();
    EXPECT_EQ(Notice(*good), "");
    EXPECT_TRUE(good->LabelOpenFolder()->isHidden());
    EXPECT_EQ(good->LabelNotes()->toolTip(), dataDir.path() + '/' + DayName(yesterday));
    EXPECT_TRUE(errors.empty());
}

TEST_F(NoticeTest, WithoutAFolderStartupTakesTheProgramsIfItHoldsLogsElseTheOneLastOpened) {
    // The first run: nothing remembered, no logs beside the program.
    auto first = MakeStartedForm();
    first->TimerRunTimer();
    first->WaitForLoad();
    EXPECT_EQ(Notice(*first), "No day logs in " + programDir.path() + "/: choose their folder");
    EXPECT_EQ(first->LabelNotes()->toolTip(), programDir.path() + '/' + DayName(yesterday));
    ASSERT_FALSE(first->LabelOpenFolder()->isHidden());
    WriteDay(yesterday);
    folderAnswer = dataDir.path();
    first->LabelOpenFolder()->linkActivated("open");
    first->WaitForLoad();
    EXPECT_EQ(Notice(*first), "");
    EXPECT_TRUE(first->LabelOpenFolder()->isHidden());

    // The next start finds the folder chosen last time.
    auto next = MakeStartedForm();
    next->TimerRunTimer();
    next->WaitForLoad();
    EXPECT_EQ(next->DataDirectory(), dataDir.path() + '/');
    EXPECT_EQ(next->LoadCount(), 1);

    // Logs beside the program (a portable copy) come first.
    WriteFile(programDir.path(), DayName(yesterday), "x");
    auto portable = MakeStartedForm();
    portable->TimerRunTimer();
    EXPECT_EQ(portable->DataDirectory(), programDir.path() + '/');

    // A remembered folder that is gone leaves the first-run state.
    QTemporaryDir gone;
    folderAnswer = gone.path() + "/sub";
    ASSERT_TRUE(QDir(gone.path()).mkdir("sub"));
    portable->PopupOpenFolderClick();
    ASSERT_TRUE(QDir(gone.path() + "/sub").removeRecursively());
    QFile::remove(programDir.path() + '/' + DayName(yesterday));
    auto lost = MakeStartedForm();
    lost->TimerRunTimer();
    lost->WaitForLoad();
    EXPECT_EQ(lost->DataDirectory(), programDir.path() + '/');
    EXPECT_FALSE(lost->LabelOpenFolder()->isHidden());
}

TEST_F(NoticeTest, NoticesNameTheRealCause) {
    WriteDay(yesterday);
    ASSERT_TRUE(QFile::link(dataDir.path() + "/nowhere.txt", dataDir.path() + '/' + DayName(today)));
    auto form = ShowYesterdayThenToday();
    EXPECT_EQ(Notice(*form),
              "Broken or looping link: " + dataDir.path() + '/' + DayName(today) + ": showing 2026-Mar-14");
    // A broken link given as a file is a file that cannot be read, not a missing folder.
    auto started = MakeStartedForm({dataDir.path() + '/' + DayName(today)});
    started->TimerRunTimer();
    started->WaitForLoad();
    EXPECT_EQ(Notice(*started), "Broken or looping link: " + dataDir.path() + '/' + DayName(today));

    QTemporaryDir other;
    const QString folder = other.path() + "/station";
    ASSERT_TRUE(QDir(other.path()).mkdir("station"));
    form->SetDataDirectory(folder);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    form->ButtonYesterdayClick();
    form->WaitForLoad();
    EXPECT_EQ(Notice(*form), "Folder gone: " + folder + "/: showing 2026-Mar-14");
}

TEST_F(NoticeTest, LogFileArgumentsOpenLikeADropAmongTheirFolder) {
    const QString a = WriteDay(yesterday.addDays(-3));
    const QString b = WriteDay(yesterday.addDays(-2));
    auto form = MakeStartedForm({b, a});
    form->TimerRunTimer();
    form->WaitForLoad();
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(Notice(*form), "");
    EXPECT_EQ(form->DataDirectory(), dataDir.path() + '/');
    EXPECT_EQ(form->PickerDate(), yesterday.addDays(-2));
    EXPECT_EQ(form->LabelNotes()->toolTip(), b + '\n' + a);
    EXPECT_TRUE(form->LabelNotes()->text().startsWith("2026-Mar-11"));  // sorted, read as one log
    EXPECT_GT(form->Minutes().size(), 2u);
}

TEST_F(NoticeTest, OpenFolderShowsYesterdayOrElseTheNewestDayOfTheChosenFolder) {
    QTemporaryDir other;
    WriteFile(other.path(), DayName(yesterday.addDays(-5)),
              RecordBlocks(QDateTime(yesterday.addDays(-5), QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday.addDays(-5), QTime(10, 3), Qt::UTC)));
    WriteFile(other.path(), DayName(yesterday.addDays(-4)),
              RecordBlocks(QDateTime(yesterday.addDays(-4), QTime(10, 0), Qt::UTC),
                           QDateTime(yesterday.addDays(-4), QTime(10, 3), Qt::UTC)));
    auto form = MakeStartedForm();
    form->SetDataDirectory(dataDir.path());
    folderAnswer = other.path();
    QTest::keyClick(form->windowHandle(), Qt::Key_O, Qt::ControlModifier);
    form->WaitForLoad();
    EXPECT_EQ(form->DataDirectory(), other.path() + '/');
    EXPECT_EQ(form->PickerDate(), yesterday.addDays(-4));
    EXPECT_TRUE(form->LabelNotes()->text().startsWith("2026-Mar-10"));
    EXPECT_EQ(form->LabelNotes()->toolTip(), other.path() + '/' + DayName(yesterday.addDays(-4)));

    WriteDay(yesterday);
    folderAnswer = dataDir.path();
    form->PopupMenu()->findChild<QAction*>("PopupOpenFolder")->trigger();
    form->WaitForLoad();
    EXPECT_EQ(form->PickerDate(), yesterday);
    EXPECT_EQ(Notice(*form), "");

    folderAnswer.clear();  // cancelled
    form->PopupOpenFolderClick();
    form->WaitForLoad();
    EXPECT_EQ(form->DataDirectory(), dataDir.path() + '/');

    QTemporaryDir none;
    folderAnswer = none.path();
    form->PopupOpenFolderClick();
    form->WaitForLoad();
    EXPECT_EQ(Notice(*form), "No day logs in " + none.path() + '/');
    EXPECT_TRUE(errors.empty());
}

TEST_F(NoticeTest, AtTheMinimumSizeNoTextIsCutOrOverlapped) {
    WriteDay(yesterday);
    auto form = MakeForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    form->ButtonTodayClick();  // the notice line takes its room too
    form->WaitForLoad();
    ASSERT_TRUE(form->LabelNotice()->isVisible());
    form->resize(1, 1);
    QApplication::processEvents();
    ASSERT_EQ(form->size(), form->minimumSize());
    const QRect close = form->findChild<QPushButton*>("ButtonClose")->geometry();
    for (const QLabel* label : {form->LabelSummary(), form->LabelNotes()}) {
        EXPECT_LT(label->geometry().right(), close.left()) << label->objectName().toStdString();
        EXPECT_GE(label->width(), label->sizeHint().width());
    }
    ExpectNoticeCoversNothing(*form);
    // Right-axis labels of neighbouring values at least the height of their ink apart.
    const int ink =
        QFontMetrics(QFont("Arial", 8)).tightBoundingRect("No fix2D3DInactiveCoarseFine").height();
    for (chart::TChartPanel* panel : {form->ChartStrength(), form->ChartMode()}) {
        panel->grab();
        const auto& labels = panel->Chart().RightAxis().DrawnLabels();
        ASSERT_EQ(labels.size(), 3u) << panel->objectName().toStdString();
        for (std::size_t i = 1; i < labels.size(); ++i)
            EXPECT_GE(std::abs(labels[i].Position - labels[i - 1].Position), ink)
                << panel->objectName().toStdString() << ' ' << labels[i].Text;
    }
}

TEST_F(NoticeTest, HistoryAndSatellitesCloseWithEscapeOrTheCloseKeys) {
    WriteDay(yesterday);
    auto form = MakeForm();
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    form->PopupHistoryClick();
    form->PopupSatellitesClick();
    form->WaitForLoad();
    QWidget* history = form->HistoryWindow();
    QWidget* satellites = form->SatelliteView();
    // Shortcuts reach the active window, as the user's keys do.
    history->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(history));
    QTest::keyClick(history->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(history->isVisible());
    EXPECT_TRUE(satellites->isVisible());
    const QKeySequence close(QKeySequence::Close);
    ASSERT_FALSE(close.isEmpty());
    satellites->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(satellites));
    QTest::keySequence(satellites->windowHandle(), close);
    EXPECT_FALSE(satellites->isVisible());
    EXPECT_TRUE(form->isVisible());
}

}  // namespace
}  // namespace marlix::ui::test
