// Start-up, the summary labels, the clipboard line, drops, resizing and auto refresh.
#include <marlix/chart/qt/chart_panel.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "FormFixture.h"

namespace marlix::ui::test {
namespace {

constexpr const char* kDaySummary =
    "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 151)\r"
    "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 151)\r"
    "Average PDOP: 2.00,  GPS-seeking 0% (lower is better)";

using StartupTest = FormFixture;

TEST_F(StartupTest, WithoutArgumentReadsTheProgramFolderAndShowsYesterday) {
    auto form = MakeForm();
    WriteFile(programDir.path(), DayName(yesterday),
              RecordBlocks(QDateTime(yesterday, QTime(10, 0, 0), Qt::UTC),
                           QDateTime(yesterday, QTime(10, 2, 30), Qt::UTC)));
    form->TimerRunTimer();
    EXPECT_EQ(form->DataDirectory(), programDir.path() + '/');
    EXPECT_EQ(form->PickerDate(), yesterday);
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-14 from 10:00 to 10:02, 755 lines");
}

TEST_F(StartupTest, FolderArgumentWithOrWithoutTrailingDelimiterBecomesTheDataDirectory) {
    for (const QString& argument : {dataDir.path(), dataDir.path() + '/'}) {
        auto form = MakeForm({argument});
        form->TimerRunTimer();
        EXPECT_EQ(form->DataDirectory(), dataDir.path() + '/') << argument.toStdString();
    }
}

TEST_F(StartupTest, MissingFolderArgumentLeavesTheProgramFolderAndAFileArgumentIsOpened) {
    auto missing = MakeForm({dataDir.path() + "/missing"});
    missing->TimerRunTimer();
    EXPECT_EQ(missing->DataDirectory(), programDir.path() + '/');
    // A file in place of the folder is opened as a log, among its own folder.
    const QString file = WriteFile(dataDir.path(), "notes.txt", "x");
    auto opened = MakeForm({file});
    opened->TimerRunTimer();
    EXPECT_EQ(opened->DataDirectory(), dataDir.path() + '/');
    EXPECT_EQ(opened->LoadCount(), 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(StartupTest, ShowingTheWindowStartsTheOneShotStartupTimer) {
    TFormMainOptions options;
    options.programDirectory = programDir.path();
    options.clock = clock;
    TFormMain form(std::move(options));
    EXPECT_FALSE(form.TimerRun().isActive());
    form.show();
    EXPECT_TRUE(form.TimerRun().isActive());
    EXPECT_EQ(form.TimerRun().interval(), 20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.DataDirectory().isEmpty(); }, 2000));
    EXPECT_FALSE(form.TimerRun().isActive());
    EXPECT_EQ(form.PickerDate(), yesterday);
}

using ClipboardTest = FormFixture;

TEST_F(ClipboardTest, BeforeAnyLoadCopiesTheLabelCaptions) {
    auto form = MakeForm();
    EXPECT_EQ(form->ClipboardText(), "Summary\tNotes\r\n");
}

TEST_F(ClipboardTest, PdopPartJoinsTheModePartWithABlank) {
    auto form = MakeForm();
    WriteDay(yesterday);
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    EXPECT_EQ(form->LabelSummary()->text(), QString(kDaySummary).replace('\r', '\n'));
    EXPECT_EQ(form->ClipboardText(),
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 151)\t"
              "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 151) "
              "Average PDOP: 2.00,  GPS-seeking 0% (lower is better)\t"
              "2026-Mar-14 from 10:00 to 10:02, 755 lines\r\n");
}

TEST_F(ClipboardTest, SummaryWithoutPdopGivesTwoFieldsAndTheNotes) {
    auto form = MakeForm();
    QString text = RecordBlocks(QDateTime(yesterday, QTime(10, 0, 0), Qt::UTC),
                                QDateTime(yesterday, QTime(10, 0, 9), Qt::UTC));
    text.replace("PDOP      : 2", "PDOP      : 11");
    WriteFile(dataDir.path(), DayName(yesterday), text);
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    EXPECT_EQ(form->ClipboardText(),
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)\t"
              "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 10)\t"
              "2026-Mar-14 from 10:00 to 10:00, 50 lines\r\n");
}

using DropTest = FormFixture;

void Drop(QWidget* target, const QStringList& paths, Qt::DropActions offered) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), offered, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(100, 100), offered, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

TEST_F(DropTest, TwoDayFilesInDescendingOrderAreReadAscendingAsOneLog) {
    auto form = MakeForm();
    const QString first = WriteFile(dataDir.path(), DayName(yesterday),
                                    RecordBlocks(QDateTime(yesterday, QTime(23, 58, 0), Qt::UTC),
                                                 QDateTime(yesterday, QTime(23, 59, 59), Qt::UTC)));
    const QString second = WriteFile(
        dataDir.path(), DayName(today),
        RecordBlocks(QDateTime(today, QTime(0, 0, 0), Qt::UTC), QDateTime(today, QTime(0, 1, 59), Qt::UTC)));
    // The data directory is elsewhere: dropped paths are full paths and are used as they are.
    form->SetDataDirectory(programDir.path());
    Drop(form.get(), {second, first}, Qt::CopyAction | Qt::MoveAction);
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-14 from 23:58 to 00:01, 1200 lines");
}

TEST_F(DropTest, LinkOnlyDropIsTakenButMoveOnlyDropIsRefused) {
    auto form = MakeForm();
    const QString file = WriteDay(yesterday);
    Drop(form.get(), {file}, Qt::MoveAction);
    EXPECT_EQ(form->LoadCount(), 0);
    Drop(form.get(), {file}, Qt::LinkAction);
    EXPECT_EQ(form->LoadCount(), 1);
}

TEST_F(DropTest, UnreadableFileKeepsTheView) {
    auto form = MakeForm();
    Drop(form.get(), {WriteDay(yesterday)}, Qt::CopyAction);
    const QString notes = form->LabelNotes()->text();
    const int strengthPoints = form->ChartStrength()->Chart().Series(0).PointCount();
    ASSERT_GT(strengthPoints, 0);

    Drop(form.get(), {dataDir.path() + "/2026-01-01_rx_data.txt"}, Qt::CopyAction);
    Drop(form.get(), {dataDir.path()}, Qt::CopyAction);  // a directory is no log
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->LabelNotes()->text(), notes);
    EXPECT_EQ(form->ChartStrength()->Chart().Series(0).PointCount(), strengthPoints);
    EXPECT_TRUE(errors.empty());
}

using ResizeTest = FormFixture;

TEST_F(ResizeTest, ChartsShareTheHeightAboveTheButtonsEqually) {
    auto form = MakeForm();
    form->resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(form->ButtonToday()->geometry(), QRect(8, 636, 81, 25));
    // (636 - 8 - 8) / 3 = 206, rounded toward zero
    EXPECT_EQ(form->ChartStrength()->geometry(), QRect(8, 8, 886, 206));
    EXPECT_EQ(form->ChartPDOP()->geometry(), QRect(8, 214, 886, 206));
    EXPECT_EQ(form->ChartMode()->geometry(), QRect(8, 420, 886, 206));
    EXPECT_EQ(form->findChild<QPushButton*>("ButtonClose")->geometry(), QRect(811, 667, 81, 25));
}

using LongLoadTest = FormFixture;

TEST_F(LongLoadTest, EscapeDuringTheProgressDisplayCancelsAndKeepsTheView) {
    auto form = MakeForm();
    WriteDay(yesterday);
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    const QString notes = form->LabelNotes()->text();
    const int points = form->ChartMode()->Chart().Series(1).PointCount();

    WriteDay(today);
    form->SetProgressAfterMs(0);  // every load counts as long
    QCoreApplication::postEvent(form->windowHandle(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    form->SetPickerDate(today);
    form->DateTimePickerChange();
    ASSERT_TRUE(form->LastLoadFailure().has_value());
    EXPECT_TRUE(form->LastLoadFailure()->cancelled);
    EXPECT_EQ(form->LabelNotes()->text(), notes);
    EXPECT_EQ(form->ChartMode()->Chart().Series(1).PointCount(), points);
    EXPECT_FALSE(form->findChild<QWidget*>("ProgressBarLoad")->isVisible());

    form->DateTimePickerChange();  // no Escape this time
    EXPECT_FALSE(form->LastLoadFailure().has_value());
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-15 from 10:00 to 10:02, 755 lines");
}

TEST_F(LongLoadTest, InputOtherThanEscapeIsHeldOffWhileLoading) {
    auto form = MakeForm();
    WriteDay(yesterday);
    WriteDay(today.addDays(-2));  // so that "<" could move
    form->SetProgressAfterMs(0);
    form->SetPickerDate(yesterday);
    // A "<" that arrives while the day is read must not start a second load inside the first.
    QCoreApplication::postEvent(form->windowHandle(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Less, Qt::NoModifier, "<"));
    form->DateTimePickerChange();
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->PickerDate(), yesterday);
}

using AutoRefreshTest = FormFixture;

TEST_F(AutoRefreshTest, ReloadsOncePerChangeOfTheLocalMinute) {
    auto form = MakeForm();
    WriteDay(yesterday);
    form->SetPickerDate(yesterday);
    clock->local = QDateTime(QDate(2026, 3, 15), QTime(10, 41, 59));
    QTest::mouseClick(form->CheckBoxAutoRefresh(), Qt::LeftButton);
    ASSERT_TRUE(form->TimerAutoRefresh().isActive());
    EXPECT_EQ(form->TimerAutoRefresh().interval(), 2000);

    form->TimerAutoRefreshTimer();  // same minute
    QApplication::processEvents();
    EXPECT_FALSE(form->TimerReloadDelay().isActive());
    EXPECT_EQ(form->LoadCount(), 0);

    clock->local = clock->local.addSecs(2);  // 10:42:01
    form->TimerAutoRefreshTimer();
    EXPECT_TRUE(form->TimerReloadDelay().isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LoadCount() == 1; }, 1000));
    EXPECT_EQ(form->PickerDate(), yesterday);

    clock->local = clock->local.addSecs(30);  // 10:42:31, still the remembered minute
    form->TimerAutoRefreshTimer();
    QApplication::processEvents();
    EXPECT_EQ(form->LoadCount(), 1);

    clock->local = clock->local.addSecs(30);  // 10:43:01
    form->TimerAutoRefreshTimer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LoadCount() == 2; }, 1000));
}

TEST_F(AutoRefreshTest, SwitchingOffStopsPollingAndOnAgainRereadsTheMinute) {
    auto form = MakeForm();
    WriteDay(yesterday);
    form->SetPickerDate(yesterday);
    clock->local = QDateTime(QDate(2026, 3, 15), QTime(10, 41, 59));
    QTest::mouseClick(form->CheckBoxAutoRefresh(), Qt::LeftButton);
    QTest::mouseClick(form->CheckBoxAutoRefresh(), Qt::LeftButton);
    EXPECT_FALSE(form->TimerAutoRefresh().isActive());

    clock->local = clock->local.addSecs(120);  // 10:43:59
    QTest::mouseClick(form->CheckBoxAutoRefresh(), Qt::LeftButton);
    form->TimerAutoRefreshTimer();
    QApplication::processEvents();
    EXPECT_EQ(form->LoadCount(), 0);
}

TEST_F(AutoRefreshTest, DefaultWaitAfterTheMinuteChangeIsOneAndAHalfSeconds) {
    TFormMain form(TFormMainOptions{});
    EXPECT_EQ(form.TimerReloadDelay().interval(), 1500);
    EXPECT_TRUE(form.TimerReloadDelay().isSingleShot());
}

}  // namespace
}  // namespace marlix::ui::test
