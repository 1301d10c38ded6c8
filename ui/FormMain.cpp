#include "FormMain.h"

#include <marlix/chart/qt/chart_panel.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPolygon>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolButton>
#include <array>
#include <stdexcept>
#include <utility>

#include "ChartInteraction.h"
#include "ChartKeyboard.h"
#include "DayDate.h"
#include "DayExport.h"
#include "DropFileTarget.h"
#include "FormAccessibility.h"
#include "KeyPreview.h"
#include "SideWindow.h"
#include "UserLocale.h"
#include "WindowFont.h"
#include "marlix/signal_charts/SignalCharts.h"

namespace marlix::ui {

namespace {

constexpr const char* kCaption = "Marlix 2931T - Signal Quality Analysis";
constexpr const char* kDayButtonHint =
    "You may also type \"<\"  \">\" (or \",\"  \".\") to change the date backward or forwards";
constexpr int kAutoRefreshPollMs = 2000;
constexpr int kStartupDelayMs = 20;

// A control of the form, known by its name.
template <typename Control, typename... Arguments>
Control* Named(const char* name, Arguments&&... arguments) {
    auto* control = new Control(std::forward<Arguments>(arguments)...);
    control->setObjectName(name);
    return control;
}

QIcon TriangleIcon(bool pointsLeft) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0));
    const QPolygon triangle = pointsLeft ? QPolygon({QPoint(4, 8), QPoint(12, 2), QPoint(12, 14)})
                                         : QPolygon({QPoint(12, 8), QPoint(4, 2), QPoint(4, 14)});
    painter.drawPolygon(triangle);
    return QIcon(pixmap);
}

}  // namespace

TFormMain::TFormMain(TFormMainOptions options, QWidget* parent)
    : QWidget(parent), options_(WithDefaults(std::move(options), *this)), clock_(options_.clock) {
    setWindowTitle(kCaption);
    setFont(WindowFont());
    CreateControls();
    resize(layout_->StartSize());
    setMinimumSize(layout_->MinimumFormSize());

    // As the form is created: drop target, file list, the shared day-button hint.
    dropFileTarget1_ = std::make_unique<TDropFileTarget>(
        *this, [this](const QStringList& files) { Guarded([this, &files] { DropFileTarget1Drop(files); }); });
    bitBtnNext_->setToolTip(bitBtnPrev_->toolTip());
    // The window sees every key before the focused control; only its shortcuts and Escape during a
    // long load use one up.
    keyPreview_ =
        std::make_unique<TKeyPreview>(*this, [this](const QKeyEvent& key) { return FormKeyPreview(key); });
}

TFormMain::~TFormMain() {
    // The workers go first: a load or a History read in flight stops at its next step.
    if (historyWindow_) historyWindow_->disconnect(this);
    loader_.reset();
    history_.reset();
}

void TFormMain::CreateControls() {
    // Every handler runs guarded, as the form's event handlers do.
    const auto handle = [this](auto* sender, auto signal, void (TFormMain::*handler)()) {
        connect(sender, signal, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };

    chartStrength_ = Named<chart::TChartPanel>("ChartStrength", this);
    chartPdop_ = Named<chart::TChartPanel>("ChartPDOP", this);
    chartMode_ = Named<chart::TChartPanel>("ChartMode", this);
    charts_ =
        std::make_unique<TSignalCharts>(chartStrength_->Chart(), chartPdop_->Chart(), chartMode_->Chart());
    charts_->SetLocale(UserLocaleConventions());
    interaction_ = std::make_unique<TChartInteraction>(
        *charts_, std::array<chart::TChartPanel*, 3>{chartStrength_, chartPdop_, chartMode_}, this);
    interaction_->SetGuard([this](const std::function<void()>& handler) { Guarded(handler); });
    satellites_ = std::make_unique<TSatelliteWindow>(*this, chartStrength_->Chart());

    buttonToday_ = Named<QPushButton>("ButtonToday", "Today", this);
    handle(buttonToday_, &QPushButton::clicked, &TFormMain::ButtonTodayClick);

    buttonYesterday_ = Named<QPushButton>("ButtonYesterday", "Yesterday", this);
    handle(buttonYesterday_, &QPushButton::clicked, &TFormMain::ButtonYesterdayClick);

    dateTimePicker_ = Named<QDateEdit>("DateTimePicker", this);
    dateTimePicker_->setCalendarPopup(true);

    bitBtnPrev_ = Named<QToolButton>("BitBtnPrev", this);
    bitBtnPrev_->setIcon(TriangleIcon(true));
    bitBtnPrev_->setToolTip(kDayButtonHint);
    bitBtnNext_ = Named<QToolButton>("BitBtnNext", this);
    bitBtnNext_->setIcon(TriangleIcon(false));
    for (QToolButton* button : {bitBtnPrev_, bitBtnNext_}) {
        connect(button, &QToolButton::clicked, this,
                [this, button] { Guarded([this, button] { BitBtnDayChangeClick(button); }); });
    }

    checkBoxAutoRefresh_ = Named<QCheckBox>("CheckBoxAutoRefresh", "Auto refresh", this);
    handle(checkBoxAutoRefresh_, &QCheckBox::clicked, &TFormMain::CheckBoxAutoRefreshClick);

    labelSummary_ = Named<QLabel>("LabelSummary", "Summary", this);
    labelNotes_ = Named<QLabel>("LabelNotes", "Notes", this);

    buttonClose_ = Named<QPushButton>("ButtonClose", "Close", this);
    handle(buttonClose_, &QPushButton::clicked, &TFormMain::ButtonCloseClick);

    // The status line under the buttons; none of it is part of the day texts (Copy leaves it out).
    labelNotice_ = Named<QLabel>("LabelNotice", this);
    labelNotice_->setStyleSheet("QLabel { background: #fff4ce; color: #5c3c00; padding: 0px 4px; }");
    labelNotice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labelNotice_->hide();
    labelOpenFolder_ = Named<QLabel>("LabelOpenFolder", "<a href=\"open\">Choose folder...</a>", this);
    labelOpenFolder_->setTextFormat(Qt::RichText);
    labelOpenFolder_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    labelOpenFolder_->hide();
    connect(labelOpenFolder_, &QLabel::linkActivated, this,
            [this] { Guarded([this] { PopupOpenFolderClick(); }); });
    labelZoom_ = Named<QLabel>("LabelZoom", this);
    labelZoom_->hide();
    loader_ = std::make_unique<TDayLoader>(
        *this, [this] { layout_->PlaceStatusLine(size()); },
        [this](const std::function<void()>& handler) { Guarded(handler); },
        [this](const TLoadOutcome& outcome) { shownDay_->Apply(outcome); }, options_.beforeAnalysis,
        options_.progressAfterMs);

    layout_ = std::make_unique<TFormLayout>(
        TFormControls{chartStrength_, chartPdop_, chartMode_, buttonToday_, buttonYesterday_, dateTimePicker_,
                      bitBtnPrev_, bitBtnNext_, checkBoxAutoRefresh_, labelSummary_, labelNotes_,
                      labelNotice_, buttonClose_, labelOpenFolder_, labelZoom_, loader_->ProgressBar()});
    // The picker's format is chosen for its text field at its design width.
    FitPickerDate(*dateTimePicker_);
    handle(dateTimePicker_, &QDateEdit::dateChanged, &TFormMain::DateTimePickerChange);

    shownDay_ = std::make_unique<TShownDay>(
        TDayViews{*charts_, *interaction_, *labelSummary_, *labelNotes_, *dateTimePicker_, dataFolder_,
                  [this](const QString& text) { SetNotice(text); },
                  [this](const core::SatelliteDay& day, const QString& days) {
                      satellites_->SetDay(day, QStringList{"Satellites", Station(), days}.join(" \u00b7 "));
                  }});
    history_ = std::make_unique<THistoryRequests>(StoreDaySource(options_.beforeHistoryDay));

    timerRun_.setSingleShot(true);
    timerRun_.setInterval(kStartupDelayMs);
    handle(&timerRun_, &QTimer::timeout, &TFormMain::TimerRunTimer);
    timerAutoRefresh_.setInterval(kAutoRefreshPollMs);
    handle(&timerAutoRefresh_, &QTimer::timeout, &TFormMain::TimerAutoRefreshTimer);
    // The wait before an automatic reload runs on a timer so that the window stays responsive.
    timerReloadDelay_.setSingleShot(true);
    timerReloadDelay_.setInterval(options_.reloadDelayMs);
    handle(&timerReloadDelay_, &QTimer::timeout, &TFormMain::DateTimePickerChange);

    popupMenu_ = Named<QMenu>("PopupMenu", this);
    // The shortcuts shown here are taken by FormShortcut for the whole window.
    const auto addAction = [&](const char* text, const char* name, const char* shortcut,
                               void (TFormMain::*handler)()) {
        QAction* action = popupMenu_->addAction(text);
        action->setObjectName(name);
        if (shortcut) action->setShortcut(QKeySequence(shortcut));
        handle(action, &QAction::triggered, handler);
    };
    addAction("Copy", "PopupCopy", "Ctrl+C", &TFormMain::PopupCopyClick);
    addAction("Save image...", "PopupSaveImage", "Ctrl+S", &TFormMain::PopupSaveImageClick);
    addAction("Export CSV...", "PopupExportCsv", nullptr, &TFormMain::PopupExportCsvClick);
    addAction("Reset zoom", "PopupResetZoom", nullptr, &TFormMain::PopupResetZoomClick);
    popupMenu_->addSeparator();
    addAction("History...", "PopupHistory", "Ctrl+H", &TFormMain::PopupHistoryClick);
    addAction("Satellites...", "PopupSatellites", nullptr, &TFormMain::PopupSatellitesClick);
    popupMenu_->addSeparator();
    addAction("Open folder...", "PopupOpenFolder", "Ctrl+O", &TFormMain::PopupOpenFolderClick);
    connect(interaction_.get(), &TChartInteraction::SpanChanged, this, [this] {
        satellites_->FollowSpan();
        const QString zoom = interaction_->ZoomText();
        labelZoom_->setText(zoom);
        ShowStatusPart(*labelZoom_, !zoom.isEmpty());
    });

    accessibility_ = std::make_unique<TFormAccessibility>(*this);
    connect(interaction_.get(), &TChartInteraction::SpanChanged, this,
            [this] { accessibility_->DescribeCharts(); });
}

void TFormMain::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        QString message = QString::fromUtf8(e.what());
        if (!message.endsWith('.')) message += '.';
        options_.showError(QGuiApplication::applicationDisplayName(), message);
    }
}

void TFormMain::LoadAndPlot(const QStringList& fileList) {
    // The satellite levels cost extra and are read only while their window is open.
    const bool satellites = satellites_->IsOpen();
    loader_->Load(
        {fileList, dataFolder_.Path(), UserLocaleConventions(), satellites, dataFolder_.TakeNotice()});
}

void TFormMain::SetNotice(const QString& text) {
    // An unchanged notice is not announced again.
    if (text == labelNotice_->text() && labelNotice_->isHidden() == text.isEmpty()) return;
    labelNotice_->setText(text);
    labelNotice_->setToolTip(text);
    ShowStatusPart(*labelNotice_, !text.isEmpty());
    accessibility_->AnnounceNotice();
}

void TFormMain::ShowStatusPart(QWidget& part, bool visible) {
    part.setVisible(visible);
    layout_->PlaceStatusLine(size());
}

void TFormMain::ShowFolderState() {
    ShowStatusPart(*labelOpenFolder_, !dataFolder_.HoldsDays());
}

bool TFormMain::ControlFormat() const {
    return charts_->ControlFormat();
}

void TFormMain::SetPickerDate(QDate date) {
    const QSignalBlocker blocker(dateTimePicker_);
    dateTimePicker_->setDate(date);
}

QDate TFormMain::PickerDate() const {
    return dateTimePicker_->date();
}

QString TFormMain::Station() const {
    return QDir(dataFolder_.Path()).dirName();
}

QDate TFormMain::YesterdayUTC() const {
    return clock_->NowUTC().date().addDays(-1);
}

void TFormMain::DateTimePickerChange() {
    fileList_ = QStringList{DayFileName(PickerDate())};
    LoadAndPlot(fileList_);
}

void TFormMain::ButtonTodayClick() {
    SetPickerDate(clock_->NowUTC().date());
    DateTimePickerChange();
}

void TFormMain::ButtonYesterdayClick() {
    SetPickerDate(YesterdayUTC());
    DateTimePickerChange();
}

void TFormMain::BitBtnDayChangeClick(QObject* sender) {
    // Steps go over the days without a log, so that a gap in a station's logs stops no one; past
    // the newest log they go on a day at a time up to today, whose log may still come.
    const QDate shown = PickerDate();
    const QDate today = clock_->NowUTC().date();
    if (sender == bitBtnNext_) {
        if (const auto later = dataFolder_.LaterDay(shown, today)) {
            SetPickerDate(*later);
        } else if (today > shown) {
            SetPickerDate(shown.addDays(1));
        } else {
            dataFolder_.SetNotice("No later day: today is " + QLocale().toString(today, "d MMM yyyy") +
                                  " (UTC)");
        }
    } else if (sender == bitBtnPrev_) {
        if (const auto earlier = dataFolder_.EarlierDay(shown)) {
            SetPickerDate(*earlier);
        } else {
            dataFolder_.SetNotice("No earlier day log in " + QDir::toNativeSeparators(dataFolder_.Path()));
        }
    }
    DateTimePickerChange();
}

void TFormMain::TimerRunTimer() {
    timerRun_.stop();
    const QStringList files =
        dataFolder_.Startup(options_.arguments, options_.programDirectory, clock_->NowUTC().date());
    // Log files in place of a folder are opened as a drop of them.
    if (!files.isEmpty()) {
        OpenFiles(files);
    } else {
        ShowFolderState();
        ButtonYesterdayClick();
    }
    CompareFromCommandLine();
}

void TFormMain::CompareFromCommandLine() {
    historyStations_.SetMain(dataFolder_.Path(), options_.label);
    if (options_.compare.empty()) return;
    QStringList notices;
    for (const THistoryStation& station : options_.compare)
        notices << historyStations_.Add(station.folder, station.name);
    notices.removeAll(QString());
    historyNotice_ = notices.join('\n');
    PopupHistoryClick();
}

void TFormMain::OpenFiles(const QStringList& files) {
    // Navigation goes on among the files' neighbours, from the day of the first one when it has one.
    const TOpenedFiles opened = dataFolder_.OpenFiles(files, YesterdayUTC());
    SetPickerDate(opened.day);
    DropFileTarget1Drop(opened.paths);
}

void TFormMain::PopupOpenFolderClick() {
    const QString folder = options_.askFolder("Open folder", dataFolder_.Path());
    if (folder.isEmpty()) return;
    SetPickerDate(dataFolder_.Open(folder, YesterdayUTC()));
    ShowFolderState();
    DateTimePickerChange();
}

void TFormMain::CheckBoxAutoRefreshClick() {
    timerAutoRefresh_.stop();
    timerReloadDelay_.stop();
    if (checkBoxAutoRefresh_->isChecked()) {
        rememberedMinute_ = clock_->NowLocal().time().minute();
        timerAutoRefresh_.start();
    }
}

void TFormMain::TimerAutoRefreshTimer() {
    const int minute = clock_->NowLocal().time().minute();
    if (minute == rememberedMinute_) return;
    rememberedMinute_ = minute;
    timerReloadDelay_.start();
}

QString TFormMain::ClipboardText() const {
    QString summary = shownDay_->SummaryText();
    const qsizetype pdop = summary.indexOf("\rAverage PDOP");
    if (pdop >= 0) summary[pdop] = ' ';
    summary.replace('\r', '\t');
    return summary + '\t' + labelNotes_->text() + "\r\n";
}

void TFormMain::PopupCopyClick() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) throw std::runtime_error("Cannot open clipboard: no clipboard is available");
    clipboard->setText(ClipboardText());
}

QString TFormMain::ProposedFileName(const QString& suffix) const {
    return ProposedExportName(shownDay_->PlottedFiles(), ExportFolder(), suffix);
}

void TFormMain::PopupSaveImageClick() {
    const QString path = options_.askSavePath("Save image", ProposedFileName(".png"), "PNG images (*.png)");
    if (path.isEmpty()) return;
    SaveWindowPicture(*this, *interaction_, path);
    RememberExportFolder(path);
}

void TFormMain::PopupExportCsvClick() {
    const QString path = options_.askSavePath("Export CSV", ProposedFileName(".csv"), "CSV files (*.csv)");
    if (path.isEmpty()) return;
    ExportMinutesCsv(Minutes(), charts_->ControlFormat(), charts_->VisibleSpan(), path);
    RememberExportFolder(path);
}

void TFormMain::PopupResetZoomClick() {
    interaction_->ResetZoom();
}

void TFormMain::CreateHistoryWindow() {
    historyWindow_ = new THistoryWindow(this);
    MakeSideWindow(*historyWindow_, "History");
    historyWindow_->SetLocale(UserLocaleConventions());
    connect(historyWindow_, &THistoryWindow::DayClicked, this, [this](QDate day, int station) {
        Guarded([this, day, station] { HistoryDayClick(day, station); });
    });
    connect(historyWindow_, &THistoryWindow::SpanChosen, this, [this](THistorySpan span) {
        Guarded([this, span] {
            historySpan_ = span;
            RequestHistory();
        });
    });
    connect(historyWindow_, &THistoryWindow::CompareAsked, this,
            [this] { Guarded([this] { HistoryCompareClick(); }); });
    connect(historyWindow_, &THistoryWindow::ComparedRemoved, this, [this] {
        Guarded([this] {
            historyStations_.SetMain(dataFolder_.Path());
            historyStations_.RemoveCompared();
            RequestHistory();
        });
    });
    // Closing the window stops its reading.
    connect(historyWindow_, &THistoryWindow::Hidden, this, [this] { history_->Cancel(); });
}

void TFormMain::PopupHistoryClick() {
    if (!historyWindow_) CreateHistoryWindow();
    historyWindow_->show();
    historyWindow_->raise();
    RequestHistory();
}

void TFormMain::RequestHistory() {
    historyStations_.SetMain(dataFolder_.Path());
    history_->RequestHistory(*historyWindow_,
                             {historyStations_.List(), historyStations_.Main(), historySpan_, PickerDate(),
                              clock_->NowUTC().date(), std::exchange(historyNotice_, QString())});
}

void TFormMain::HistoryDayClick(QDate day, int station) {
    // A day of another station shows that station's folder in this window.
    if (station >= 0 && station < historyWindow_->StationCount()) {
        const QString folder = historyWindow_->Station(station).folder;
        if (historyStations_.IndexOf(folder) != historyStations_.IndexOf(dataFolder_.Path())) {
            dataFolder_.SetPath(folder);
            historyStations_.SetMain(folder);
            historyWindow_->SetMainStation(historyStations_.IndexOf(folder));
        }
    }
    SetPickerDate(day);
    DateTimePickerChange();
    historyWindow_->SetShownDay(day);
}

void TFormMain::HistoryCompareClick() {
    const QString folder = options_.askFolder("Compare with folder", dataFolder_.Path());
    if (folder.isEmpty()) return;
    historyNotice_ = historyStations_.Add(folder);
    RequestHistory();
}

void TFormMain::PopupSatellitesClick() {
    satellites_->Show(chartStrength_->width());
    // The day once more, this time with the levels of each satellite: the day that is loading if
    // there is one (the newest request wins), else the shown one.
    const QStringList files = Loading() ? loader_->RequestedFiles() : PlottedFiles();
    if (!files.isEmpty()) LoadAndPlot(files);
}

void TFormMain::ButtonCloseClick() {
    close();
}

void TFormMain::DropFileTarget1Drop(const QStringList& files) {
    if (files.isEmpty()) return;
    fileList_ = files;
    LoadAndPlot(fileList_);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // Nothing in flight outlives the window for long: both workers stop at their next step.
    CancelLoad();
    history_->Cancel();
    QWidget::closeEvent(event);
}

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    keyPreview_->Attach();
    if (!centred_ && screen()) {
        centred_ = true;
        move(screen()->availableGeometry().center() - rect().center());
    }
    if (options_.runStartup && dataFolder_.Path().isEmpty() && !timerRun_.isActive()) timerRun_.start();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layout_->Anchor(size());
    Guarded([this] { FormResize(); });
}

void TFormMain::FormResize() {
    const int h = layout_->StackCharts();
    charts_->AlignCharts();
    if (layout_->MeasureChartOverhead(h)) setMinimumSize(layout_->MinimumFormSize());
}

void TFormMain::contextMenuEvent(QContextMenuEvent* event) {
    popupMenu_->popup(event->globalPos());
}

bool TFormMain::FormKeyPreview(const QKeyEvent& key) {
    // Escape stops a load that shows its progress, and does nothing else then.
    if (key.key() == Qt::Key_Escape && loader_->ShowsProgress()) {
        CancelLoad();
        return true;
    }
    // The popup from the keyboard, at the focused control.
    if (key.key() == Qt::Key_Menu || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier)) {
        PopupFromKeyboard();
        return true;
    }
    bool consumed = false;
    Guarded([this, &key, &consumed] {
        // Copy and save act for the whole window: a focused control must not copy its own text over it.
        consumed = FormShortcut(key.key(), key.modifiers());
        if (consumed) return;
        FormKeyDown(key.key());
        FormKeyPress(key.text());
    });
    return consumed;
}

void TFormMain::FormKeyDown(int key) {
    if (key == Qt::Key_F5) DateTimePickerChange();
    // On a focused chart Home moves its cursor to the first record instead.
    const bool chartHome = key == Qt::Key_Home && accessibility_->Keyboard().ChartFocused();
    if (key == Qt::Key_Escape || (key == Qt::Key_Home && !chartHome)) interaction_->ResetZoom();
    if (key == Qt::Key_Escape) interaction_->HideCursor();
}

void TFormMain::PopupFromKeyboard() {
    const QWidget* focused = focusWidget();
    const QWidget* at = focused && isAncestorOf(focused) ? focused : this;
    interaction_->HideCursor();
    popupMenu_->popup(at->mapToGlobal(at->rect().center()));
}

bool TFormMain::FormShortcut(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & ~Qt::KeypadModifier) != Qt::ControlModifier) return false;
    static constexpr std::pair<int, void (TFormMain::*)()> kShortcuts[] = {
        {Qt::Key_C, &TFormMain::PopupCopyClick},
        {Qt::Key_S, &TFormMain::PopupSaveImageClick},
        {Qt::Key_H, &TFormMain::PopupHistoryClick},
        {Qt::Key_O, &TFormMain::PopupOpenFolderClick}};
    for (const auto& [shortcut, handler] : kShortcuts) {
        if (key != shortcut) continue;
        (this->*handler)();
        return true;
    }
    return false;
}

void TFormMain::FormKeyPress(const QString& text) {
    if (text == "," || text == "<") {
        BitBtnDayChangeClick(bitBtnPrev_);
    } else if (text == "." || text == ">") {
        BitBtnDayChangeClick(bitBtnNext_);
    }
}

}  // namespace marlix::ui
