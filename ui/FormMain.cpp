#include "FormMain.h"

#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPolygon>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <array>
#include <stdexcept>

#include "ChartInteraction.h"
#include "DayExport.h"
#include "HistoryWindow.h"
#include "SatelliteView.h"
#include "signal_charts/SignalCharts.h"

namespace marlix::ui {

namespace {

constexpr const char* kCaption = "Marlix 2931T - Signal Quality Analysis";
constexpr const char* kDayButtonHint =
    "You may also type \"<\"  \">\" (or \",\"  \".\") to change the date backward or forwards";
constexpr int kAutoRefreshPollMs = 2000;
constexpr int kStartupDelayMs = 20;

enum Anchor { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

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

core::DayTime ToDayTime(QDate date) {
    return core::EncodeDate(date.year(), date.month(), date.day());
}

QString DayFileName(QDate date) {
    return QString::fromStdString(core::DayFileName(ToDayTime(date)));
}

// The first separator character of the locale's short time format, ":" when it has none.
std::string TimeSeparator(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if ((c == 'h' || c == 'H') && i + 1 < format.size() && !format[i + 1].isLetter() &&
            format[i + 1] != 'h' && format[i + 1] != 'H') {
            return QString(format[i + 1]).toStdString();
        }
    }
    return ":";
}

}  // namespace

struct TFormMain::Anchored {
    QWidget* widget;
    QRect design;
    int anchors;
};

TFormMain::TFormMain(TFormMainOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
    clock_ = options_.clock ? options_.clock : std::make_shared<TClock>();
    if (!options_.showError) {
        options_.showError = [this](const QString& title, const QString& message) {
            QMessageBox::critical(this, title, message);
        };
    }
    if (!options_.askSavePath) {
        options_.askSavePath = [this](const QString& caption, const QString& proposed,
                                      const QString& filter) {
            return QFileDialog::getSaveFileName(this, caption, proposed, filter);
        };
    }
    setWindowTitle(kCaption);
    setFont(QFont("Tahoma", 8));
    resize(kDesignWidth, kDesignHeight);
    setMinimumSize(320, 240);
    CreateControls();

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

TFormMain::~TFormMain() = default;

void TFormMain::CreateControls() {
    auto place = [this](QWidget* widget, QRect design, int anchors) {
        widget->setGeometry(design);
        anchored_.push_back({widget, design, anchors});
    };

    chartStrength_ = new chart::TChartPanel(this);
    chartStrength_->setObjectName("ChartStrength");
    chartPdop_ = new chart::TChartPanel(this);
    chartPdop_->setObjectName("ChartPDOP");
    chartMode_ = new chart::TChartPanel(this);
    chartMode_->setObjectName("ChartMode");
    place(chartStrength_, QRect(8, 8, 758, 146), akLeft | akTop | akRight);
    place(chartPdop_, QRect(8, 164, 758, 146), akLeft | akRight);
    place(chartMode_, QRect(8, 319, 758, 167), akLeft | akRight);
    charts_ =
        std::make_unique<TSignalCharts>(chartStrength_->Chart(), chartPdop_->Chart(), chartMode_->Chart());
    charts_->SetLocale(Locale());
    interaction_ = std::make_unique<TChartInteraction>(
        *charts_, std::array<chart::TChartPanel*, 3>{chartStrength_, chartPdop_, chartMode_}, this);
    interaction_->SetGuard([this](const std::function<void()>& handler) { Guarded(handler); });

    buttonToday_ = new QPushButton("Today", this);
    buttonToday_->setObjectName("ButtonToday");
    place(buttonToday_, QRect(8, 492, 81, 25), akLeft | akBottom);
    connect(buttonToday_, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonTodayClick(); }); });

    buttonYesterday_ = new QPushButton("Yesterday", this);
    buttonYesterday_->setObjectName("ButtonYesterday");
    place(buttonYesterday_, QRect(8, 523, 81, 25), akLeft | akBottom);
    connect(buttonYesterday_, &QPushButton::clicked, this,
            [this] { Guarded([this] { ButtonYesterdayClick(); }); });

    dateTimePicker_ = new QDateEdit(this);
    dateTimePicker_->setObjectName("DateTimePicker");
    dateTimePicker_->setCalendarPopup(true);
    dateTimePicker_->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    place(dateTimePicker_, QRect(104, 492, 89, 21), akLeft | akBottom);
    connect(dateTimePicker_, &QDateEdit::dateChanged, this,
            [this] { Guarded([this] { DateTimePickerChange(); }); });

    bitBtnPrev_ = new QToolButton(this);
    bitBtnPrev_->setObjectName("BitBtnPrev");
    bitBtnPrev_->setIcon(TriangleIcon(true));
    bitBtnPrev_->setToolTip(kDayButtonHint);
    place(bitBtnPrev_, QRect(104, 523, 25, 25), akLeft | akBottom);
    connect(bitBtnPrev_, &QToolButton::clicked, this,
            [this] { Guarded([this] { BitBtnDayChangeClick(bitBtnPrev_); }); });

    bitBtnNext_ = new QToolButton(this);
    bitBtnNext_->setObjectName("BitBtnNext");
    bitBtnNext_->setIcon(TriangleIcon(false));
    place(bitBtnNext_, QRect(135, 523, 25, 25), akLeft | akBottom);
    connect(bitBtnNext_, &QToolButton::clicked, this,
            [this] { Guarded([this] { BitBtnDayChangeClick(bitBtnNext_); }); });

    checkBoxAutoRefresh_ = new QCheckBox("Auto refresh", this);
    checkBoxAutoRefresh_->setObjectName("CheckBoxAutoRefresh");
    place(checkBoxAutoRefresh_, QRect(176, 527, 97, 17), akLeft | akBottom);
    connect(checkBoxAutoRefresh_, &QCheckBox::clicked, this,
            [this] { Guarded([this] { CheckBoxAutoRefreshClick(); }); });

    labelSummary_ = new QLabel("Summary", this);
    labelSummary_->setObjectName("LabelSummary");
    labelSummary_->move(297, 490);
    labelSummary_->adjustSize();
    anchored_.push_back({labelSummary_, QRect(297, 490, 0, 0), akLeft | akBottom});

    labelNotes_ = new QLabel("Notes", this);
    labelNotes_->setObjectName("LabelNotes");
    labelNotes_->move(297, 537);
    labelNotes_->adjustSize();
    anchored_.push_back({labelNotes_, QRect(297, 537, 0, 0), akLeft | akBottom});

    buttonClose_ = new QPushButton("Close", this);
    buttonClose_->setObjectName("ButtonClose");
    place(buttonClose_, QRect(683, 523, 81, 25), akRight | akBottom);
    connect(buttonClose_, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonCloseClick(); }); });

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName("ProgressBarLoad");
    progressBar_->setRange(0, 1000);
    progressBar_->setFormat("Reading... %p% (Esc cancels)");
    progressBar_->hide();

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName("PopupMenu");
    QAction* copy = popupMenu_->addAction("Copy");
    copy->setObjectName("PopupCopy");
    connect(copy, &QAction::triggered, this, [this] { Guarded([this] { PopupCopyClick(); }); });
    QAction* saveImage = popupMenu_->addAction("Save image...");
    saveImage->setObjectName("PopupSaveImage");
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

core::LocaleConventions TFormMain::Locale() const {
    const QLocale locale;
    core::LocaleConventions conventions;
    for (int month = 1; month <= 12; ++month) {
        conventions.shortMonthNames[month - 1] = locale.monthName(month, QLocale::ShortFormat).toStdString();
    }
    conventions.decimalSeparator = locale.decimalPoint().toStdString();
    conventions.timeSeparator = TimeSeparator(locale);
    return conventions;
}

void TFormMain::LoadAndPlot(const QStringList& fileList) {
    // A load started from inside a running one (a timer during its progress display) is dropped:
    // the running load ends by showing the current day anyway.
    if (loading_) return;
    loading_ = true;
    cancelRequested_ = false;
    const auto finish = qScopeGuard([this] {
        loading_ = false;
        progressBar_->hide();
    });

    std::vector<std::string> names;
    names.reserve(fileList.size());
    for (const QString& name : fileList) names.push_back(QFile::encodeName(name).toStdString());
    core::LoadOptions loadOptions;
    // The satellite levels cost extra and are read only while their window is open.
    loadOptions.satellites = satelliteView_ && satelliteView_->isVisible();
    QElapsedTimer elapsed;
    elapsed.start();
    loadOptions.progress = [this, &elapsed](std::uint64_t done, std::uint64_t total) {
        return ShowLoadProgress(elapsed.elapsed(), done, total);
    };
    const core::LoadResult result =
        core::AnalyseFiles(names, QFile::encodeName(dataDirectory_).toStdString(), Locale(), loadOptions);
    lastFailure_ = result.failure;
    if (!result.analysis) return;  // An unreadable file or a cancelled load keeps the previous view.

    const core::DayAnalysis& day = *result.analysis;
    ++loadCount_;
    charts_->Plot(day);
    const bool sameDay = fileList == plottedFiles_;
    plottedFiles_ = fileList;
    interaction_->DayPlotted(sameDay);
    if (day.satellites && satelliteView_) {
        satelliteView_->SetDay(*day.satellites);
        UpdateSatelliteSpan();
    }
    labelSummary_->setToolTip(QString::fromStdString(day.hint));
    labelNotes_->setText(QString::fromStdString(day.notes));
    labelNotes_->adjustSize();
    summaryText_ = QString::fromStdString(day.summary);
    labelSummary_->setText(QString(summaryText_).replace('\r', '\n'));
    labelSummary_->adjustSize();
}

bool TFormMain::ShowLoadProgress(qint64 elapsedMs, std::uint64_t done, std::uint64_t total) {
    // Short loads show nothing; a long one (a month of dropped files) shows its progress and
    // keeps the window painting, with Escape to cancel.
    if (elapsedMs < options_.progressAfterMs && progressBar_->isHidden()) return true;
    if (progressBar_->isHidden()) {
        progressBar_->setGeometry(labelNotes_->x(), labelNotes_->y(), 300, 16);
        progressBar_->show();
        progressBar_->raise();
    }
    progressBar_->setValue(
        total ? static_cast<int>(1000.0 * static_cast<double>(done) / static_cast<double>(total)) : 0);
    QCoreApplication::processEvents();
    return !cancelRequested_;
}

bool TFormMain::ControlFormat() const {
    return charts_->ControlFormat();
}

void TFormMain::SetDataDirectory(const QString& directory) {
    // An empty directory stays empty: names are then ordinary paths.
    dataDirectory_ = directory.isEmpty() || directory.endsWith('/') ? directory : directory + '/';
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
        if (QFileInfo::exists(dataDirectory_ + DayFileName(shown.addDays(-1))))
            SetPickerDate(shown.addDays(-1));
    }
    DateTimePickerChange();
}

void TFormMain::TimerRunTimer() {
    timerRun_.stop();
    SetDataDirectory(options_.programDirectory.isEmpty() ? QCoreApplication::applicationDirPath()
                                                         : options_.programDirectory);
    if (!options_.arguments.isEmpty()) {
        QString candidate = options_.arguments.first();
        if (!candidate.endsWith('/')) candidate += '/';
        if (QFileInfo(candidate).isDir()) dataDirectory_ = candidate;
    }
    ButtonYesterdayClick();
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
    QString summary = summaryText_;
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
    return ProposedExportName(plottedFiles_, dataDirectory_, suffix);
}

void TFormMain::PopupSaveImageClick() {
    const QString path = options_.askSavePath("Save image", ProposedFileName(".png"), "PNG images (*.png)");
    if (!path.isEmpty()) SaveWindowPicture(*this, path);
}

void TFormMain::PopupExportCsvClick() {
    const QString path = options_.askSavePath("Export CSV", ProposedFileName(".csv"), "CSV files (*.csv)");
    if (!path.isEmpty()) ExportVisiblePointsCsv(*charts_, path);
}

void TFormMain::PopupResetZoomClick() {
    interaction_->ResetZoom();
}

void TFormMain::PopupHistoryClick() {
    if (!historyWindow_) {
        historyWindow_ = new THistoryWindow(this);
        historyWindow_->setWindowFlag(Qt::Window);
        historyWindow_->setWindowTitle("History");
        historyWindow_->SetLocale(Locale());
        connect(historyWindow_, &THistoryWindow::DayClicked, this, [this](QDate day) {
            Guarded([this, day] {
                SetPickerDate(day);
                DateTimePickerChange();
                historyWindow_->SetDays(historyWindow_->Days(), day);
            });
        });
    }
    const QDate shown = PickerDate();
    historyWindow_->SetDays(LoadHistoryDays(dataDirectory_, shown), shown);
    historyWindow_->show();
    historyWindow_->raise();
}

void TFormMain::PopupSatellitesClick() {
    if (!satelliteView_) {
        satelliteView_ = new TSatelliteView(this);
        satelliteView_->setWindowFlag(Qt::Window);
        satelliteView_->setWindowTitle("Satellites");
        satelliteView_->SetLocale(Locale());
        satelliteView_->resize(chartStrength_->width(), 360);
    }
    satelliteView_->show();
    satelliteView_->raise();
    // The shown day once more, this time with the levels of each satellite.
    if (!plottedFiles_.isEmpty()) LoadAndPlot(plottedFiles_);
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
    if (options_.runStartup && dataDirectory_.isEmpty() && !timerRun_.isActive()) timerRun_.start();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int dw = width() - kDesignWidth;
    const int dh = height() - kDesignHeight;
    for (const Anchored& a : anchored_) {
        QRect r = a.design;
        if ((a.anchors & akRight) && !(a.anchors & akLeft)) r.moveLeft(r.left() + dw);
        if ((a.anchors & akRight) && (a.anchors & akLeft)) r.setWidth(r.width() + dw);
        if ((a.anchors & akBottom) && !(a.anchors & akTop)) r.moveTop(r.top() + dh);
        if ((a.anchors & akBottom) && (a.anchors & akTop)) r.setHeight(r.height() + dh);
        if (r.width() == 0) {
            a.widget->move(r.topLeft());  // labels size themselves to their text
        } else {
            a.widget->setGeometry(r);
        }
    }
    Guarded([this] { FormResize(); });
}

void TFormMain::FormResize() {
    const int top = chartStrength_->y();
    const int h = std::max(0, (buttonToday_->y() - top - 8) / 3);
    chartStrength_->setGeometry(chartStrength_->x(), top, chartStrength_->width(), h);
    chartPdop_->setGeometry(chartPdop_->x(), top + h, chartPdop_->width(), h);
    chartMode_->setGeometry(chartMode_->x(), top + 2 * h, chartMode_->width(), h);
    charts_->AlignCharts();
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
    if (loading_) return FilterInputWhileLoading(watched, event);
    // The window's own native window sees every key once, before it goes on to the
    // focused control; nothing here consumes it.
    if (watched == windowHandle() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool consumed = false;
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

bool TFormMain::FilterInputWhileLoading(QObject* watched, QEvent* event) {
    // While a long load shows its progress, the window takes no other input: Escape cancels.
    if (watched != windowHandle()) return false;
    switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) cancelRequested_ = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
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
