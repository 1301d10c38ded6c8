#pragma once

#include <marlix/core/analysis.h>

#include <QDate>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "DataFolder.h"
#include "DayLoader.h"
#include "FormLayout.h"
#include "FormMainOptions.h"
#include "HistoryRequests.h"
#include "HistoryWindow.h"
#include "SatelliteWindow.h"
#include "ShownDay.h"

class QCheckBox;
class QDateEdit;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace marlix::chart {
class TChartPanel;
}

namespace marlix::ui {

class TChartInteraction;
class TDropFileTarget;
class TFormAccessibility;
class TKeyPreview;
class TSignalCharts;
class TSatelliteView;

// The main window: three signal charts, the day summary and the day navigation.
class TFormMain : public QWidget {
    Q_OBJECT

  public:
    explicit TFormMain(TFormMainOptions options, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Every view of a day ends here. The files are analysed on a worker thread and the window
    // stays live; the newest request wins (a request for the files already loading joins that
    // load) and its outcome is applied on this thread in one step. A failed or cancelled read
    // leaves the view as it was.
    void LoadAndPlot(const QStringList& fileList);
    // Blocks until the newest load has ended and applies its outcome at once, without running the
    // event loop: for callers that have no event loop to wait in (the picture renderer, tests).
    void WaitForLoad() { loader_->WaitForLoad(); }
    // Stops the load in flight; the view stays as it was.
    void CancelLoad() { loader_->Cancel(); }
    bool Loading() const { return loader_->Loading(); }
    // The files the shown view was made from.
    const QStringList& PlottedFiles() const { return shownDay_->PlottedFiles(); }

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
    // Blocks until the History reading has ended and shows what it read, without running the
    // event loop.
    void WaitForHistory() { history_->WaitForHistory(); }
    TSatelliteView* SatelliteView() const { return satellites_->View(); }

    // Sets the picker's date as code does: no change event follows.
    void SetPickerDate(QDate date);
    QDate PickerDate() const;

    QString DataDirectory() const { return dataFolder_.Path(); }
    // Why the latest load changed nothing, or nothing when it succeeded.
    const std::optional<core::LoadFailure>& LastLoadFailure() const { return shownDay_->LastLoadFailure(); }
    void SetDataDirectory(const QString& directory) { dataFolder_.SetPath(directory); }
    bool ControlFormat() const;
    QString ClipboardText() const;
    int LoadCount() const { return shownDay_->LoadCount(); }
    void SetProgressAfterMs(int ms) { loader_->SetProgressAfterMs(ms); }

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
    // The link beside the notice that asks for the folder while the data folder holds no day logs.
    QLabel* LabelOpenFolder() const { return labelOpenFolder_; }
    // The span the zoomed charts show; hidden while they show the whole view.
    QLabel* LabelZoom() const { return labelZoom_; }
    // The closed minutes of the shown view, as the load read them.
    const std::vector<core::MinuteReading>& Minutes() const { return shownDay_->Minutes(); }
    // The totals of the shown view, which the summary is made from.
    const core::DayTotals& DayTotals() const { return shownDay_->Totals(); }
    TFormAccessibility& Accessibility() { return *accessibility_; }
    QDateEdit* DateTimePicker() const { return dateTimePicker_; }
    QToolButton* BitBtnPrev() const { return bitBtnPrev_; }
    QToolButton* BitBtnNext() const { return bitBtnNext_; }
    QPushButton* ButtonToday() const { return buttonToday_; }
    QCheckBox* CheckBoxAutoRefresh() const { return checkBoxAutoRefresh_; }
    QTimer& TimerAutoRefresh() { return timerAutoRefresh_; }
    QTimer& TimerReloadDelay() { return timerReloadDelay_; }
    QTimer& TimerRun() { return timerRun_; }

    static constexpr int kDesignWidth = TFormLayout::kDesignWidth;
    static constexpr int kDesignHeight = TFormLayout::kDesignHeight;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    void FormResize();
    void FormKeyDown(int key);
    void FormKeyPress(const QString& text);
    bool FormShortcut(int key, Qt::KeyboardModifiers modifiers);
    bool FormKeyPreview(const QKeyEvent& key);
    void Guarded(const std::function<void()>& handler);
    void CreateHistoryWindow();
    void RequestHistory();
    void HistoryDayClick(QDate day, int station);
    void HistoryCompareClick();
    void CompareFromCommandLine();
    void SetNotice(const QString& text);
    void ShowStatusPart(QWidget& part, bool visible);
    void ShowFolderState();
    void PopupFromKeyboard();
    void OpenFiles(const QStringList& files);
    QDate YesterdayUTC() const;
    // The station, as the data folder's name says.
    QString Station() const;

    TFormMainOptions options_;
    std::shared_ptr<const TClock> clock_;
    TDataFolder dataFolder_;
    QStringList fileList_;
    int rememberedMinute_ = -1;
    bool centred_ = false;

    chart::TChartPanel* chartStrength_ = nullptr;
    chart::TChartPanel* chartPdop_ = nullptr;
    chart::TChartPanel* chartMode_ = nullptr;
    std::unique_ptr<TSignalCharts> charts_;
    std::unique_ptr<TChartInteraction> interaction_;
    std::unique_ptr<TSatelliteWindow> satellites_;
    QPushButton* buttonToday_ = nullptr;
    QPushButton* buttonYesterday_ = nullptr;
    QDateEdit* dateTimePicker_ = nullptr;
    QToolButton* bitBtnPrev_ = nullptr;
    QToolButton* bitBtnNext_ = nullptr;
    QCheckBox* checkBoxAutoRefresh_ = nullptr;
    QLabel* labelSummary_ = nullptr;
    QLabel* labelNotes_ = nullptr;
    QLabel* labelNotice_ = nullptr;
    QLabel* labelOpenFolder_ = nullptr;
    QLabel* labelZoom_ = nullptr;
    QPushButton* buttonClose_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    THistoryWindow* historyWindow_ = nullptr;
    THistoryStations historyStations_;
    THistorySpan historySpan_ = THistorySpan::Month;
    QString historyNotice_;  // for the next History request
    QTimer timerRun_;
    QTimer timerAutoRefresh_;
    QTimer timerReloadDelay_;
    std::unique_ptr<TFormLayout> layout_;
    std::unique_ptr<TShownDay> shownDay_;
    std::unique_ptr<TDropFileTarget> dropFileTarget1_;
    std::unique_ptr<TKeyPreview> keyPreview_;
    std::unique_ptr<TFormAccessibility> accessibility_;
    // Declared last, so destroyed first: their workers stop and join while everything a job
    // refers to still exists.
    std::unique_ptr<THistoryRequests> history_;
    std::unique_ptr<TDayLoader> loader_;
};

}  // namespace marlix::ui
