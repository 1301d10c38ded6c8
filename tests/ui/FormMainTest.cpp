// Start-up, the summary labels, the clipboard line, drops, resizing and auto refresh.
#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

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
#include <cmath>

#include "FormFixture.h"
#include "ui/ChartInteraction.h"
#include "ui/HistoryWindow.h"
#include "ui/SatelliteView.h"

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
    form->WaitForLoad();
    EXPECT_EQ(form->DataDirectory(), programDir.path() + '/');
    EXPECT_EQ(form->PickerDate(), yesterday);
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-14 from 10:00 to 10:02, 755 lines");
}

TEST_F(StartupTest, FolderArgumentWithOrWithoutTrailingDelimiterBecomesTheDataDirectory) {
    for (const QString& argument : {dataDir.path(), dataDir.path() + '/'}) {
        auto form = MakeForm({argument});
        form->TimerRunTimer();
        form->WaitForLoad();
        EXPECT_EQ(form->DataDirectory(), dataDir.path() + '/') << argument.toStdString();
    }
}

TEST_F(StartupTest, MissingFolderArgumentLeavesTheProgramFolderAndAFileArgumentIsOpened) {
    auto missing = MakeForm({dataDir.path() + "/missing"});
    missing->TimerRunTimer();
    missing->WaitForLoad();
    EXPECT_EQ(missing->DataDirectory(), programDir.path() + '/');
    // A file in place of the folder is opened as a log, among its own folder.
    const QString file = WriteFile(dataDir.path(), "notes.txt", "x");
    auto opened = MakeForm({file});
    opened->TimerRunTimer();
    opened->WaitForLoad();
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
    form->WaitForLoad();
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
    form->WaitForLoad();
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
    form->WaitForLoad();
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-14 from 23:58 to 00:01, 1200 lines");
}

TEST_F(DropTest, LinkOnlyDropIsTakenButMoveOnlyDropIsRefused) {
    auto form = MakeForm();
    const QString file = WriteDay(yesterday);
    Drop(form.get(), {file}, Qt::MoveAction);
    form->WaitForLoad();
    EXPECT_EQ(form->LoadCount(), 0);
    Drop(form.get(), {file}, Qt::LinkAction);
    form->WaitForLoad();
    EXPECT_EQ(form->LoadCount(), 1);
}

TEST_F(DropTest, UnreadableFileKeepsTheView) {
    auto form = MakeForm();
    Drop(form.get(), {WriteDay(yesterday)}, Qt::CopyAction);
    form->WaitForLoad();
    const QString notes = form->LabelNotes()->text();
    const int strengthPoints = form->ChartStrength()->Chart().Series(0).PointCount();
    ASSERT_GT(strengthPoints, 0);

    Drop(form.get(), {dataDir.path() + "/2026-01-01_rx_data.txt"}, Qt::CopyAction);
    form->WaitForLoad();
    Drop(form.get(), {dataDir.path()}, Qt::CopyAction);  // a directory is no log
    form->WaitForLoad();
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_EQ(form->LabelNotes()->text(), notes);
    EXPECT_EQ(form->ChartStrength()->Chart().Series(0).PointCount(), strengthPoints);
    EXPECT_TRUE(errors.empty());
}

using ResizeTest = FormFixture;

TEST_F(ResizeTest, ChartsShareTheHeightAboveTheButtonsEquallyWhateverTheStatusLineShows) {
    WriteDay(yesterday);
    auto form = MakeForm();
    // The status line lies below the design's window (Today at 492 of 556).
    const int status = form->height() - form->ButtonToday()->y() - (TFormMain::kDesignHeight - 492);
    ASSERT_GT(status, 0);
    form->resize(900, 700 + status);
    QApplication::processEvents();
    const auto expectLayout = [&form] {
        EXPECT_EQ(form->ButtonToday()->geometry(), QRect(8, 636, 81, 25));
        // (636 - 8 - 8) / 3 = 206, rounded toward zero
        EXPECT_EQ(form->ChartStrength()->geometry(), QRect(8, 8, 886, 206));
        EXPECT_EQ(form->ChartPDOP()->geometry(), QRect(8, 214, 886, 206));
        EXPECT_EQ(form->ChartMode()->geometry(), QRect(8, 420, 886, 206));
        EXPECT_EQ(form->findChild<QPushButton*>("ButtonClose")->geometry(), QRect(811, 667, 81, 25));
    };
    expectLayout();
    // A notice, a zoom and a long load's progress share the status line and move nothing.
    form->SetPickerDate(yesterday);
    form->DateTimePickerChange();
    form->WaitForLoad();
    form->Interaction().ZoomTo(core::EncodeDateTime(2026, 3, 14, 8, 2, 0),
                               core::EncodeDateTime(2026, 3, 14, 12, 0, 0));
    EXPECT_EQ(form->LabelZoom()->text(), "Showing 08:02\u201312:00 \u00b7 Esc: whole day");
    form->SetProgressAfterMs(0);
    loadHold.Hold();
    form->ButtonTodayClick();
    loadHold.WaitForHeld();
    QTRY_VERIFY(form->findChild<QWidget*>("ProgressBarLoad")->isVisible());
    std::vector<QWidget*> status_parts{form->LabelZoom(), form->findChild<QWidget*>("ProgressBarLoad")};
    loadHold.Release();
    form->WaitForLoad();
    status_parts.push_back(form->LabelNotice());
    ASSERT_TRUE(form->LabelNotice()->isVisible());
    expectLayout();
    for (QWidget* part : status_parts) {
        EXPECT_GE(part->y(), form->ButtonToday()->geometry().bottom() + 25)
            << part->objectName().toStdString();
        EXPECT_LE(part->geometry().bottom(), form->height()) << part->objectName().toStdString();
    }
    EXPECT_FALSE(form->LabelNotice()->geometry().intersects(form->LabelZoom()->geometry()));
    QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(form->LabelZoom()->isHidden());
}

// Loads run on a worker; loadHold keeps one running as long as a test needs, so that requests and
// input arrive while it runs.
class LongLoadTest : public FormFixture {
  protected:
    void SetUp() override {
        FormFixture::SetUp();
        for (int back = 0; back <= 4; ++back) WriteDay(today.addDays(-back));
        form = MakeForm();
        form->SetPickerDate(yesterday);
        form->DateTimePickerChange();
        form->WaitForLoad();
        ASSERT_EQ(form->LoadCount(), 1);
    }
    // Lets the held load go, waits for the newest, and delivers what superseded loads posted.
    void Finish() {
        loadHold.Release();
        form->WaitForLoad();
        QCoreApplication::processEvents();
        EXPECT_FALSE(form->Loading());
    }
    // Picker, charts, notes, the plotted files and the export name all name the same day.
    void ExpectShows(QDate day) {
        EXPECT_EQ(form->PickerDate(), day);
        EXPECT_EQ(form->PlottedFiles(), QStringList{DayName(day)});
        EXPECT_TRUE(form->LabelNotes()->text().startsWith(day.toString("yyyy-MMM-dd")))
            << form->LabelNotes()->text().toStdString();
        EXPECT_TRUE(form->ProposedFileName(".csv").endsWith(day.toString("yyyy-MM-dd") + "_rx_data.csv"))
            << form->ProposedFileName(".csv").toStdString();
        const double dayStart = core::EncodeDate(day.year(), day.month(), day.day());
        EXPECT_EQ(std::floor(form->ChartStrength()->Chart().Series(0).XValues().Value(0)), dayStart);
    }
    void Key(char key) { QTest::keyClick(form->windowHandle(), key); }
    std::unique_ptr<TFormMain> form;
};

TEST_F(LongLoadTest, EscapeDuringTheProgressDisplayCancelsAndKeepsEverything) {
    const double from = core::EncodeDateTime(2026, 3, 14, 10, 0, 30);
    form->Interaction().ZoomTo(from, from + 10.0 / 1440);
    const chart::TChartAxis& bottom = form->ChartStrength()->Chart().BottomAxis();
    const std::pair zoom{bottom.Minimum(), bottom.Maximum()};
    const QString notes = form->LabelNotes()->text();
    const QString summary = form->LabelSummary()->text();
    form->SetProgressAfterMs(0);  // every load counts as long
    loadHold.Hold();
    Key(',');
    auto* bar = form->findChild<QWidget*>("ProgressBarLoad");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 5000));
    loadHold.WaitForHeld();
    QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(form->Loading());
    EXPECT_FALSE(bar->isVisible());
    ASSERT_TRUE(form->LastLoadFailure().has_value());
    EXPECT_TRUE(form->LastLoadFailure()->cancelled);
    Finish();  // the stopped worker's own report changes nothing
    EXPECT_EQ(form->LabelNotes()->text(), notes);
    EXPECT_EQ(form->LabelSummary()->text(), summary);
    EXPECT_EQ(form->PlottedFiles(), QStringList{DayName(yesterday)});
    EXPECT_EQ((std::pair{bottom.Minimum(), bottom.Maximum()}), zoom);
    EXPECT_EQ(form->LoadCount(), 1);
    EXPECT_TRUE(errors.empty());

    form->DateTimePickerChange();  // no Escape this time: the picker's day
    form->WaitForLoad();
    EXPECT_FALSE(form->LastLoadFailure().has_value());
    ExpectShows(today.addDays(-2));
}

TEST_F(LongLoadTest, NewestOfThreeQuickRequestsWinsAndInputIsTakenDuringTheLoad) {
    const QString clipboard = form->ClipboardText();
    loadHold.Hold();
    Key(',');
    loadHold.WaitForHeld();
    Key(',');
    Key(',');
    EXPECT_EQ(form->PickerDate(), today.addDays(-4));
    EXPECT_TRUE(form->Loading());
    EXPECT_EQ(form->LoadCount(), 1);  // nothing shown yet
    // The shown day can still be zoomed and copied meanwhile.
    const chart::TChartAxis& bottom = form->ChartStrength()->Chart().BottomAxis();
    const double dayEnd = bottom.Maximum();
    const double from = core::EncodeDateTime(2026, 3, 14, 10, 0, 0);
    form->Interaction().ZoomTo(from, from + 10.0 / 1440);
    EXPECT_LT(bottom.Maximum(), dayEnd);
    EXPECT_EQ(form->ClipboardText(), clipboard);
    Finish();
    ExpectShows(today.addDays(-4));
    EXPECT_EQ(form->LoadCount(), 2);
    EXPECT_TRUE(errors.empty());
}

TEST_F(LongLoadTest, HistoryClickDuringALongLoadShowsTheClickedDayWithThePickerOnIt) {
    QTest::keyClick(form->windowHandle(), Qt::Key_H, Qt::ControlModifier);
    form->WaitForHistory();
    THistoryWindow* history = form->HistoryWindow();
    ASSERT_EQ(history->Days().size(), 5u);
    loadHold.Hold();
    Key(',');
    loadHold.WaitForHeld();
    emit history->DayClicked(today.addDays(-4));
    Finish();
    ExpectShows(today.addDays(-4));
    EXPECT_EQ(history->ShownDay(), today.addDays(-4));
}

TEST_F(LongLoadTest, SatellitesOpenedDuringALoadReadTheLoadingDayWithItsLevels) {
    loadHold.Hold();
    Key(',');
    loadHold.WaitForHeld();
    form->PopupSatellitesClick();
    Finish();
    ExpectShows(today.addDays(-2));
    ASSERT_FALSE(form->SatelliteView()->Day().levels.empty());
    EXPECT_EQ(std::floor(form->SatelliteView()->Day().levels.front().minute), core::EncodeDate(2026, 3, 13));
    EXPECT_EQ(form->LoadCount(), 2);
}

TEST_F(LongLoadTest, DropDuringALoadWins) {
    loadHold.Hold();
    Key(',');
    loadHold.WaitForHeld();
    form->DropFileTarget1Drop({dataDir.path() + '/' + DayName(today)});
    Finish();
    EXPECT_EQ(form->PlottedFiles(), QStringList{dataDir.path() + '/' + DayName(today)});
    EXPECT_EQ(form->LabelNotes()->text(), "2026-Mar-15 from 10:00 to 10:02, 755 lines");
    EXPECT_TRUE(form->ProposedFileName(".csv").endsWith("/2026-03-15_rx_data.csv"));
}

TEST_F(LongLoadTest, F5AndAutoRefreshJoinALoadOfTheSameFilesAndSupersedeOneOfOthers) {
    clock->local = QDateTime(today, QTime(10, 41, 59));
    QTest::mouseClick(form->CheckBoxAutoRefresh(), Qt::LeftButton);

    loadHold.Hold();
    Key(',');
    loadHold.WaitForHeld();
    QTest::keyClick(form->windowHandle(), Qt::Key_F5);
    clock->local = clock->local.addSecs(2);  // the minute changes
    form->TimerAutoRefreshTimer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->TimerReloadDelay().isActive(); }, 5000));
    EXPECT_EQ(loadHold.Held(), 1);  // still the one load: both requests joined it
    Finish();
    ExpectShows(today.addDays(-2));
    EXPECT_EQ(form->LoadCount(), 2);

    // During a load of dropped files, F5 and the automatic refresh ask for the picker's day.
    for (const bool automatic : {false, true}) {
        loadHold.Hold();
        form->DropFileTarget1Drop({dataDir.path() + '/' + DayName(today)});
        loadHold.WaitForHeld();
        if (automatic) {
            clock->local = clock->local.addSecs(60);
            form->TimerAutoRefreshTimer();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !form->TimerReloadDelay().isActive(); }, 5000));
        } else {
            QTest::keyClick(form->windowHandle(), Qt::Key_F5);
        }
        Finish();
        ExpectShows(today.addDays(-2));
    }
    EXPECT_EQ(form->LoadCount(), 4);
}

TEST_F(LongLoadTest, FailureOfSupersededLoadsIsNotShownAndTheNewestOneIsShownOnce) {
    loadHold.Hold();
    loadHold.Fail("Cannot allocate memory");
    Key(',');
    loadHold.WaitForHeld();
    Key(',');
    Key(',');
    Finish();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front().second, "Cannot allocate memory.");
    EXPECT_EQ(form->PlottedFiles(), QStringList{DayName(yesterday)});
    EXPECT_EQ(form->LoadCount(), 1);
}

TEST_F(LongLoadTest, ClosingDuringALoadStopsTheWorkerWithoutReleasingIt) {
    const QString notes = form->LabelNotes()->text();
    loadHold.Hold();
    Key(',');
    loadHold.WaitForHeld();
    form->close();
    EXPECT_FALSE(form->Loading());
    form->WaitForLoad();  // returns only because the held read was stopped
    EXPECT_EQ(loadHold.Held(), 0);
    EXPECT_EQ(form->LabelNotes()->text(), notes);

    // A window destroyed with a load held joins its worker as well.
    Key(',');
    form->SetPickerDate(today.addDays(-3));
    form->DateTimePickerChange();
    loadHold.WaitForHeld();
    form.reset();
    EXPECT_EQ(loadHold.Held(), 0);
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
