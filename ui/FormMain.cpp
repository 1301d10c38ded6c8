#include "FormMain.h"

#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "ChartInteraction.h"
#include "DayDate.h"
#include "DayExport.h"
#include "HistoryWindow.h"
#include "SatelliteView.h"
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
    resize(kDesignWidth, kDesignHeight);
    CreateControls();
    setMinimumSize(layout_->MinimumFormSize());

    // As the form is created: drop target, file list, the shared day-button hint.
    setAcceptDrops(true);
    bitBtnNext_->setToolTip(bitBtnPrev_->toolTip());

    timerRun_.setSingleShot(true);
    timerRun_.setInterval(kStartupDelayMs);
    connect(&timerRun_, &QTimer::timeout, this, [this] { Guarded([this] { TimerRunTimer(); }); });
    timerAutoRefresh_.setInterval(kAutoRefreshPollMs);
    connect(&timerAutoRefresh_, &QTimer::timeout, this,
            [this] { Guarded([this] { TimerAutoRefreshTimer(); }); });
    // The wait before an automatic reload runs on a timer so that the window stays responsive.
    timerReloadDelay_.setSingleShot(true);
    timerReloadDelay_.setInterval(options_.reloadDelayMs);
    connect(&timerReloadDelay_, &QTimer::timeout, this,
            [this] { Guarded([this] { DateTimePickerChange(); }); });
}

TFormMain::~TFormMain() {
    // The workers go first: a load or a History read in flight stops at its next step.
    if (historyWindow_) historyWindow_->disconnect(this);
    loader_.reset();
    history_.reset();
}

void TFormMain::CreateControls() {
    chartStrength_ = new chart::TChartPanel(this);
    chartStrength_->setObjectName("ChartStrength");
    chartPdop_ = new chart::TChartPanel(this);
    chartPdop_->setObjectName("ChartPDOP");
    chartMode_ = new chart::TChartPanel(this);
    chartMode_->setObjectName("ChartMode");
    charts_ =
        std::make_unique<TSignalCharts>(chartStrength_->Chart(), chartPdop_->Chart(), chartMode_->Chart());
    charts_->SetLocale(UserLocaleConventions());
    interaction_ = std::make_unique<TChartInteraction>(
        *charts_, std::array<chart::TChartPanel*, 3>{chartStrength_, chartPdop_, chartMode_}, this);
    interaction_->SetGuard([this](const std::function<void()>& handler) { Guarded(handler); });

    buttonToday_ = new QPushButton("Today", this);
    buttonToday_->setObjectName("ButtonToday");
    connect(buttonToday_, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonTodayClick(); }); });

    buttonYesterday_ = new QPushButton("Yesterday", this);
    buttonYesterday_->setObjectName("ButtonYesterday");
    connect(buttonYesterday_, &QPushButton::clicked, this,
            [this] { Guarded([this] { ButtonYesterdayClick(); }); });

    dateTimePicker_ = new QDateEdit(this);
    dateTimePicker_->setObjectName("DateTimePicker");
    dateTimePicker_->setCalendarPopup(true);

    bitBtnPrev_ = new QToolButton(this);
    bitBtnPrev_->setObjectName("BitBtnPrev");
    bitBtnPrev_->setIcon(TriangleIcon(true));
    bitBtnPrev_->setToolTip(kDayButtonHint);
    connect(bitBtnPrev_, &QToolButton::clicked, this,
            [this] { Guarded([this] { BitBtnDayChangeClick(bitBtnPrev_); }); });

    bitBtnNext_ = new QToolButton(this);
    bitBtnNext_->setObjectName("BitBtnNext");
    bitBtnNext_->setIcon(TriangleIcon(false));
    connect(bitBtnNext_, &QToolButton::clicked, this,
            [this] { Guarded([this] { BitBtnDayChangeClick(bitBtnNext_); }); });

    checkBoxAutoRefresh_ = new QCheckBox("Auto refresh", this);
    checkBoxAutoRefresh_->setObjectName("CheckBoxAutoRefresh");
    connect(checkBoxAutoRefresh_, &QCheckBox::clicked, this,
            [this] { Guarded([this] { CheckBoxAutoRefreshClick(); }); });

    labelSummary_ = new QLabel("Summary", this);
    labelSummary_->setObjectName("LabelSummary");

    labelNotes_ = new QLabel("Notes", this);
    labelNotes_->setObjectName("LabelNotes");

    buttonClose_ = new QPushButton("Close", this);
    buttonClose_->setObjectName("ButtonClose");
    connect(buttonClose_, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonCloseClick(); }); });

    // Not part of the day texts (Copy leaves it out); FormResize makes room for it above the buttons.
    labelNotice_ = new QLabel(this);
    labelNotice_->setObjectName("LabelNotice");
    labelNotice_->setStyleSheet("QLabel { background: #fff4ce; color: #5c3c00; padding: 0px 4px; }");
    labelNotice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labelNotice_->hide();

    layout_ = std::make_unique<TFormLayout>(TFormControls{
        chartStrength_, chartPdop_, chartMode_, buttonToday_, buttonYesterday_, dateTimePicker_, bitBtnPrev_,
        bitBtnNext_, checkBoxAutoRefresh_, labelSummary_, labelNotes_, labelNotice_, buttonClose_});
    // The picker's format is chosen for its text field at its design width.
    dateTimePicker_->setDisplayFormat(PickerDisplayFormat(*dateTimePicker_));
    connect(dateTimePicker_, &QDateEdit::dateChanged, this,
            [this] { Guarded([this] { DateTimePickerChange(); }); });

    shownDay_ = std::make_unique<TShownDay>(TDayViews{*charts_, *interaction_, *labelSummary_, *labelNotes_,
                                                      *dateTimePicker_, dataFolder_,
                                                      [this](const QString& text) { SetNotice(text); },
                                                      [this](const core::SatelliteDay& day) {
                                                          if (!satelliteView_) return;
                                                          satelliteView_->SetDay(day);
                                                          UpdateSatelliteSpan();
                                                      }});
    loader_ = std::make_unique<TDayLoader>(
        *this, *labelNotes_, [this](const std::function<void()>& handler) { Guarded(handler); },
        [this](const TLoadOutcome& outcome) { shownDay_->Apply(outcome); }, options_.beforeAnalysis,
        options_.progressAfterMs);

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName("PopupMenu");
    // The shortcuts shown here are taken by FormShortcut for the whole window.
    QAction* copy = popupMenu_->addAction("Copy");
    copy->setObjectName("PopupCopy");
    copy->setShortcut(QKeySequence("Ctrl+C"));
    connect(copy, &QAction::triggered, this, [this] { Guarded([this] { PopupCopyClick(); }); });
    QAction* saveImage = popupMenu_->addAction("Save image...");
    saveImage->setObjectName("PopupSaveImage");
    saveImage->setShortcut(QKeySequence("Ctrl+S"));
    connect(saveImage, &QAction::triggered, this, [this] { Guarded([this] { PopupSaveImageClick(); }); });
    QAction* exportCsv = popupMenu_->addAction("Export CSV...");
    exportCsv->setObjectName("PopupExportCsv");
    connect(exportCsv, &QAction::triggered, this, [this] { Guarded([this] { PopupExportCsvClick(); }); });
    QAction* resetZoom = popupMenu_->addAction("Reset zoom");
    resetZoom->setObjectName("PopupResetZoom");
    connect(resetZoom, &QAction::triggered, this, [this] { Guarded([this] { PopupResetZoomClick(); }); });
    popupMenu_->addSeparator();
    QAction* history = popupMenu_->addAction("History...");
    history->setObjectName("PopupHistory");
    history->setShortcut(QKeySequence("Ctrl+H"));
    connect(history, &QAction::triggered, this, [this] { Guarded([this] { PopupHistoryClick(); }); });
    QAction* satellites = popupMenu_->addAction("Satellites...");
    satellites->setObjectName("PopupSatellites");
    connect(satellites, &QAction::triggered, this, [this] { Guarded([this] { PopupSatellitesClick(); }); });
    popupMenu_->addSeparator();
    QAction* openFolder = popupMenu_->addAction("Open folder...");
    openFolder->setObjectName("PopupOpenFolder");
    openFolder->setShortcut(QKeySequence("Ctrl+O"));
    connect(openFolder, &QAction::triggered, this, [this] { Guarded([this] { PopupOpenFolderClick(); }); });
    connect(interaction_.get(), &TChartInteraction::SpanChanged, this, [this] { UpdateSatelliteSpan(); });
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
    const bool satellites = satelliteView_ && satelliteView_->isVisible();
    loader_->Load(
        {fileList, dataFolder_.Path(), UserLocaleConventions(), satellites, dataFolder_.TakeNotice()});
}

void TFormMain::WaitForLoad() {
    loader_->WaitForLoad();
}

void TFormMain::CancelLoad() {
    loader_->Cancel();
}

void TFormMain::SetNotice(const QString& text) {
    if (text == labelNotice_->text() && labelNotice_->isHidden() == text.isEmpty()) return;
    labelNotice_->setText(text);
    labelNotice_->setToolTip(text);
    labelNotice_->setVisible(!text.isEmpty());
    Guarded([this] { FormResize(); });
}

bool TFormMain::ControlFormat() const {
    return charts_->ControlFormat();
}

void TFormMain::SetDataDirectory(const QString& directory) {
    dataFolder_.SetPath(directory);
}

void TFormMain::SetPickerDate(QDate date) {
    const QSignalBlocker blocker(dateTimePicker_);
    dateTimePicker_->setDate(date);
}

QDate TFormMain::PickerDate() const {
    return dateTimePicker_->date();
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
    SetPickerDate(clock_->NowUTC().date().addDays(-1));
    DateTimePickerChange();
}

void TFormMain::BitBtnDayChangeClick(QObject* sender) {
    const QDate shown = PickerDate();
    if (sender == bitBtnNext_) {
        if (clock_->NowUTC().date() > shown) SetPickerDate(shown.addDays(1));
    } else if (sender == bitBtnPrev_) {
        if (dataFolder_.HasDay(shown.addDays(-1))) SetPickerDate(shown.addDays(-1));
    }
    DateTimePickerChange();
}

void TFormMain::TimerRunTimer() {
    timerRun_.stop();
    const QStringList files = dataFolder_.Startup(options_.arguments, options_.programDirectory);
    // Log files in place of a folder are opened as a drop of them.
    if (!files.isEmpty()) {
        OpenFiles(files);
        return;
    }
    ButtonYesterdayClick();
}

void TFormMain::OpenFiles(const QStringList& files) {
    // Navigation goes on among the files' neighbours, from the day of the first one when it has one.
    const TOpenedFiles opened = dataFolder_.OpenFiles(files, clock_->NowUTC().date().addDays(-1));
    SetPickerDate(opened.day);
    DropFileTarget1Drop(opened.paths);
}

void TFormMain::PopupOpenFolderClick() {
    const QString folder = options_.askFolder("Open folder", dataFolder_.Path());
    if (folder.isEmpty()) return;
    SetPickerDate(dataFolder_.Open(folder, clock_->NowUTC().date().addDays(-1)));
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
    return ProposedExportName(PlottedFiles(), dataFolder_.Path(), suffix);
}

void TFormMain::PopupSaveImageClick() {
    const QString path = options_.askSavePath("Save image", ProposedFileName(".png"), "PNG images (*.png)");
    if (!path.isEmpty()) SaveWindowPicture(*this, *interaction_, path);
}

void TFormMain::PopupExportCsvClick() {
    const QString path = options_.askSavePath("Export CSV", ProposedFileName(".csv"), "CSV files (*.csv)");
    if (!path.isEmpty()) ExportMinutesCsv(Minutes(), charts_->ControlFormat(), charts_->VisibleSpan(), path);
}

void TFormMain::PopupResetZoomClick() {
    interaction_->ResetZoom();
}

void TFormMain::PopupHistoryClick() {
    if (!historyWindow_) {
        historyWindow_ = new THistoryWindow(this);
        MakeSideWindow(*historyWindow_, "History");
        historyWindow_->SetLocale(UserLocaleConventions());
        connect(historyWindow_, &THistoryWindow::DayClicked, this, [this](QDate day) {
            Guarded([this, day] {
                SetPickerDate(day);
                DateTimePickerChange();
                historyWindow_->SetShownDay(day);
            });
        });
        // Closing the window stops its reading.
        connect(historyWindow_, &THistoryWindow::Hidden, this, [this] { history_->Cancel(); });
    }
    historyWindow_->show();
    historyWindow_->raise();
    history_->RequestHistory(*historyWindow_, dataFolder_.Path(), PickerDate());
}

void TFormMain::WaitForHistory() {
    history_->WaitForHistory();
}

void TFormMain::PopupSatellitesClick() {
    if (!satelliteView_) {
        satelliteView_ = new TSatelliteView(this);
        MakeSideWindow(*satelliteView_, "Satellites");
        satelliteView_->SetLocale(UserLocaleConventions());
        satelliteView_->resize(chartStrength_->width(), 360);
    }
    satelliteView_->show();
    satelliteView_->raise();
    // The day once more, this time with the levels of each satellite: the day that is loading if
    // there is one (the newest request wins), else the shown one.
    const QStringList files = Loading() ? loader_->RequestedFiles() : PlottedFiles();
    if (!files.isEmpty()) LoadAndPlot(files);
}

void TFormMain::UpdateSatelliteSpan() {
    if (!satelliteView_ || !satelliteView_->isVisible()) return;
    const chart::TChart& strength = chartStrength_->Chart();
    satelliteView_->SetTimeRange(strength.BottomAxis().Minimum(), strength.BottomAxis().Maximum());
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
    if (windowHandle() && !keyPreview_) {
        windowHandle()->installEventFilter(this);
        keyPreview_ = true;
    }
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

namespace {

// A drop is taken for copying, or for linking with Ctrl and Shift held; a source that
// offers only the other of the two still gets that one.
Qt::DropAction DropActionFor(const QDropEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool link = (mods & Qt::ControlModifier) && (mods & Qt::ShiftModifier);
    const Qt::DropAction wanted = link ? Qt::LinkAction : Qt::CopyAction;
    const Qt::DropAction other = link ? Qt::CopyAction : Qt::LinkAction;
    if (event->possibleActions() & wanted) return wanted;
    if (event->possibleActions() & other) return other;
    return Qt::IgnoreAction;
}

}  // namespace

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    const Qt::DropAction action = DropActionFor(event);
    if (event->mimeData()->hasUrls() && action != Qt::IgnoreAction) {
        event->setDropAction(action);
        event->accept();
    }
}

void TFormMain::dragMoveEvent(QDragMoveEvent* event) {
    const Qt::DropAction action = DropActionFor(event);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void TFormMain::dropEvent(QDropEvent* event) {
    const Qt::DropAction action = DropActionFor(event);
    if (action == Qt::IgnoreAction) return;
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) files << url.toLocalFile();
    }
    event->setDropAction(action);
    event->accept();
    Guarded([this, &files] { DropFileTarget1Drop(files); });
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    // The window's own native window sees every key once, before it goes on to the
    // focused control; nothing here consumes it.
    if (watched == windowHandle() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool consumed = false;
        // Escape stops a load that shows its progress, and does nothing else then.
        if (key->key() == Qt::Key_Escape && loader_->ShowsProgress()) {
            CancelLoad();
            return true;
        }
        Guarded([this, key, &consumed] {
            // Copy and save act for the whole window: a focused control must not copy its own text over it.
            consumed = FormShortcut(key->key(), key->modifiers());
            if (consumed) return;
            FormKeyDown(key->key());
            FormKeyPress(key->text());
        });
        if (consumed) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMain::FormKeyDown(int key) {
    if (key == Qt::Key_F5) DateTimePickerChange();
    if (key == Qt::Key_Escape || key == Qt::Key_Home) interaction_->ResetZoom();
}

bool TFormMain::FormShortcut(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & ~Qt::KeypadModifier) != Qt::ControlModifier) return false;
    if (key == Qt::Key_C) {
        PopupCopyClick();
        return true;
    }
    if (key == Qt::Key_S) {
        PopupSaveImageClick();
        return true;
    }
    if (key == Qt::Key_H) {
        PopupHistoryClick();
        return true;
    }
    if (key == Qt::Key_O) {
        PopupOpenFolderClick();
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
