#pragma once

#include <marlix/core/analysis.h>

#include <QDate>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace marlix::chart {
class TChartPanel;
}

namespace marlix::ui {

class TChartInteraction;
class TSignalCharts;
class THistoryWindow;
class TSatelliteView;

struct TFormMainOptions {
    // Command-line arguments after the program name; the first may name the data directory.
    QStringList arguments;
    // Folder used when no argument names an existing directory.
    QString programDirectory;
    // Start-up (data directory, yesterday's day) runs by itself once the window is shown.
    bool runStartup = true;
    std::shared_ptr<const TClock> clock;
    // Wait between a change of the local minute and the automatic reload.
    int reloadDelayMs = 1500;
    // A load that runs longer than this shows a progress bar and can be cancelled with Escape.
    int progressAfterMs = 500;
    // Shows an error that left a handler; the window shows a modal box by default.
    std::function<void(const QString& title, const QString& message)> showError;
    // Asks where to save an export, proposing a path; an empty answer cancels. A file dialog by default.
    std::function<QString(const QString& caption, const QString& proposed, const QString& filter)>
        askSavePath;
    // Asks for a data folder, starting at the current one; an empty answer cancels. A folder dialog by
    // default.
    std::function<QString(const QString& caption, const QString& current)> askFolder;
};

// The main window: three signal charts, the day summary and the day navigation.
class TFormMain : public QWidget {
    Q_OBJECT

  public:
    explicit TFormMain(TFormMainOptions options, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Every view of a day ends here. A failed read leaves the view as it was.
    void LoadAndPlot(const QStringList& fileList);

    // The window's public actions, as the user triggers them.
    void ButtonTodayClick();
    void ButtonYesterdayClick();
    void BitBtnDayChangeClick(QObject* sender);
    void DateTimePickerChange();
    void CheckBoxAutoRefreshClick();
    void TimerAutoRefreshTimer();
    void TimerRunTimer();
    void PopupCopyClick();
    void PopupSaveImageClick();
    void PopupExportCsvClick();
    void PopupResetZoomClick();
    void ButtonCloseClick();
    void DropFileTarget1Drop(const QStringList& files);
    void PopupHistoryClick();
    void PopupSatellitesClick();
    void PopupOpenFolderClick();
    THistoryWindow* HistoryWindow() const { return historyWindow_; }
    TSatelliteView* SatelliteView() const { return satelliteView_; }

    // Sets the picker's date as code does: no change event follows.
    void SetPickerDate(QDate date);
    QDate PickerDate() const;

    QString DataDirectory() const { return dataDirectory_; }
    // Why the latest load changed nothing, or nothing when it succeeded.
    const std::optional<core::LoadFailure>& LastLoadFailure() const { return lastFailure_; }
    void SetDataDirectory(const QString& directory);
    bool ControlFormat() const;
    QString ClipboardText() const;
    int LoadCount() const { return loadCount_; }
    void SetProgressAfterMs(int ms) { options_.progressAfterMs = ms; }

    TSignalCharts& Charts() { return *charts_; }
    TChartInteraction& Interaction() { return *interaction_; }
    // Where an export of the shown day goes unless the user picks another place.
    QString ProposedFileName(const QString& suffix) const;
    QMenu* PopupMenu() const { return popupMenu_; }
    chart::TChartPanel* ChartStrength() const { return chartStrength_; }
    chart::TChartPanel* ChartPDOP() const { return chartPdop_; }
    chart::TChartPanel* ChartMode() const { return chartMode_; }
    QLabel* LabelSummary() const { return labelSummary_; }
    QLabel* LabelNotes() const { return labelNotes_; }
    // The line that says when the view is not what was asked for; hidden while it is.
    QLabel* LabelNotice() const { return labelNotice_; }
    // The closed minutes of the shown view, as the load read them.
    const std::vector<core::MinuteReading>& Minutes() const { return minutes_; }
    QDateEdit* DateTimePicker() const { return dateTimePicker_; }
    QToolButton* BitBtnPrev() const { return bitBtnPrev_; }
    QToolButton* BitBtnNext() const { return bitBtnNext_; }
    QPushButton* ButtonToday() const { return buttonToday_; }
    QCheckBox* CheckBoxAutoRefresh() const { return checkBoxAutoRefresh_; }
    QTimer& TimerAutoRefresh() { return timerAutoRefresh_; }
    QTimer& TimerReloadDelay() { return timerReloadDelay_; }
    QTimer& TimerRun() { return timerRun_; }

    static constexpr int kDesignWidth = 772;
    static constexpr int kDesignHeight = 556;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Anchored;

    void CreateControls();
    void FormResize();
    void FormKeyDown(int key);
    void FormKeyPress(const QString& text);
    bool FormShortcut(int key, Qt::KeyboardModifiers modifiers);
    void Guarded(const std::function<void()>& handler);
    void UpdateSatelliteSpan();
    bool ShowLoadProgress(qint64 elapsedMs, std::uint64_t done, std::uint64_t total);
    bool FilterInputWhileLoading(QObject* watched, QEvent* event);
    core::LocaleConventions Locale() const;
    // Called where a load's outcome is applied: says why the view is not what was asked for, or
    // takes that line away after a successful load.
    void ShowLoadOutcome(const QStringList& fileList, const core::LoadResult& result);
    void SetNotice(const QString& text);
    void OpenFiles(const QStringList& files);
    QString ShownName(const QStringList& fileList, const core::DayAnalysis& day) const;
    QSize MinimumFormSize() const;
    int MinimumChartHeight() const;
    int NoticeLineHeight() const;

    TFormMainOptions options_;
    std::shared_ptr<const TClock> clock_;
    QString dataDirectory_;
    QStringList fileList_;
    // The files of the last view; a load of the same files keeps the zoom.
    QStringList plottedFiles_;
    QString summaryText_ = "Summary";
    int rememberedMinute_ = -1;
    int loadCount_ = 0;
    std::optional<core::LoadFailure> lastFailure_;
    std::vector<core::MinuteReading> minutes_;
    // What the view shows, as the notice names it ("2026-Dec-07"); empty before the first load.
    QString shownName_;
    bool centred_ = false;
    bool keyPreview_ = false;
    bool loading_ = false;
    bool cancelRequested_ = false;

    chart::TChartPanel* chartStrength_ = nullptr;
    chart::TChartPanel* chartPdop_ = nullptr;
    chart::TChartPanel* chartMode_ = nullptr;
    std::unique_ptr<TSignalCharts> charts_;
    std::unique_ptr<TChartInteraction> interaction_;
    QPushButton* buttonToday_ = nullptr;
    QPushButton* buttonYesterday_ = nullptr;
    QDateEdit* dateTimePicker_ = nullptr;
    QToolButton* bitBtnPrev_ = nullptr;
    QToolButton* bitBtnNext_ = nullptr;
    QCheckBox* checkBoxAutoRefresh_ = nullptr;
    QLabel* labelSummary_ = nullptr;
    QLabel* labelNotes_ = nullptr;
    QLabel* labelNotice_ = nullptr;
    QPushButton* buttonClose_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    THistoryWindow* historyWindow_ = nullptr;
    TSatelliteView* satelliteView_ = nullptr;
    QTimer timerRun_;
    QTimer timerAutoRefresh_;
    QTimer timerReloadDelay_;
    std::vector<Anchored> anchored_;
    // What a chart needs besides its plot rectangle (title, time labels, margins), measured after
    // each alignment; the design's until the first drawing pass.
    int chartOverhead_ = 46;
};

}  // namespace marlix::ui
