#pragma once

#include <marlix/core/analysis.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "DayLoader.h"

class QDateEdit;
class QLabel;

namespace marlix::ui {

class TChartInteraction;
class TDataFolder;
class TSignalCharts;

// The views a load's outcome is shown on.
struct TDayViews {
    TSignalCharts& charts;
    TChartInteraction& interaction;
    QLabel& labelSummary;
    QLabel& labelNotes;
    const QDateEdit& dateTimePicker;
    const TDataFolder& dataFolder;
    // Says why the view is not what was asked for; an empty text takes the line away.
    std::function<void(const QString& text)> setNotice;
    // The satellite levels of a load that read them, and the days they are of ("2026-03-14", or
    // "2026-03-01 – 2026-03-31").
    std::function<void(const core::SatelliteDay& day, const QString& days)> showSatellites;
};

// The day the window shows: each load's outcome goes onto the charts, the summary and the notes, and
// what the view was made from is kept. A failed or cancelled load leaves the view as it was and the
// notice line says why.
class TShownDay {
  public:
    explicit TShownDay(TDayViews views) : views_(std::move(views)) {}

    // Rethrows a fault that left the analysis.
    void Apply(const TLoadOutcome& outcome);

    // The files the shown view was made from.
    const QStringList& PlottedFiles() const { return plottedFiles_; }
    // Why the latest load changed nothing, or nothing when it succeeded.
    const std::optional<core::LoadFailure>& LastLoadFailure() const { return lastFailure_; }
    // The closed minutes of the shown view, as the load read them.
    const std::vector<core::MinuteReading>& Minutes() const { return minutes_; }
    // The totals of the shown view, which its summary is made from.
    const core::DayTotals& Totals() const { return totals_; }
    int LoadCount() const { return loadCount_; }
    // The summary as the analysis gave it, its lines ended by CR.
    const QString& SummaryText() const { return summaryText_; }

  private:
    void ShowLoadOutcome(const QStringList& fileList, const core::LoadResult& result);
    QString ShownName(const QStringList& fileList, const core::DayAnalysis& day) const;

    TDayViews views_;
    QStringList plottedFiles_;
    std::optional<core::LoadFailure> lastFailure_;
    std::vector<core::MinuteReading> minutes_;
    core::DayTotals totals_;
    int loadCount_ = 0;
    QString summaryText_ = "Summary";
    // What the view shows, as the notice names it ("2026-Dec-07"); empty before the first load.
    QString shownName_;
};

}  // namespace marlix::ui
